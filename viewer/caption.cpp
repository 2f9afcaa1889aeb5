#include "caption.h"

#include "platform/text.h"

using namespace platform;

namespace viewer {

QString captionFor(const QString& filename, float scaleWidth, float scaleHeight)
{
    return u"pavex " + filename + u" " + LTrim(Str(scaleWidth)) + u"x" + LTrim(Str(scaleHeight))
        + u"ﾋﾟｸｾﾙ";
}

} // namespace viewer
