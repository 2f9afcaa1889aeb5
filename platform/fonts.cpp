#include "fonts.h"

#include <QFontDatabase>
#include <QHash>

namespace platform {

namespace {

// Windows faces and the faces that take their place here: the IPA faces share the metrics
// and look of the Japanese system faces, Liberation those of the Latin core faces.
const QHash<QString, QString>& substitutes()
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")},
        {QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")},
        {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")},
        {QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")},
        {QStringLiteral("MS UI Gothic"), QStringLiteral("IPAPGothic")},
        {QStringLiteral("メイリオ"), QStringLiteral("IPAPGothic")},
        {QStringLiteral("Meiryo"), QStringLiteral("IPAPGothic")},
        {QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho")},
        {QStringLiteral("MS PMincho"), QStringLiteral("IPAPMincho")},
        {QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho")},
        {QStringLiteral("MS Mincho"), QStringLiteral("IPAMincho")},
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("Helvetica"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("Times"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")},
        {QStringLiteral("Courier"), QStringLiteral("Liberation Mono")},
        // Chinese faces: one face covers both the simplified and the traditional ones.
        {QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("新宋体"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("NSimSun"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("黑体"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("SimHei"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("新細明體"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("PMingLiU"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("細明體"), QStringLiteral("WenQuanYi Micro Hei")},
        {QStringLiteral("MingLiU"), QStringLiteral("WenQuanYi Micro Hei")},
        // Symbol fonts: their characters are mapped to Unicode, which OpenSymbol covers.
        {QStringLiteral("Symbol"), QStringLiteral("OpenSymbol")},
        {QStringLiteral("Euclid Symbol"), QStringLiteral("OpenSymbol")},
    };
    return table;
}

} // namespace

QString installedFace(const QString& face)
{
    // Metafile text asks once per record; the installed faces do not change during a run.
    static QHash<QString, QString> known;
    if (const auto found = known.constFind(face); found != known.cend())
        return *found;
    QString installed = face;
    if (!QFontDatabase::hasFamily(face)) {
        const auto it = substitutes().constFind(face);
        if (it != substitutes().cend() && QFontDatabase::hasFamily(*it))
            installed = *it;
    }
    known.insert(face, installed);
    return installed;
}

QFont fontFor(const QString& face, double points)
{
    QFont font(installedFace(face));
    font.setPointSizeF(points);
    return font;
}

} // namespace platform
