#include "drop.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>

namespace viewer {

std::optional<QString> firstDroppedFile(const QMimeData& data)
{
    if (!data.hasUrls())
        return std::nullopt;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return std::nullopt;
}

bool carriesLocalFile(const QMimeData& data)
{
    return firstDroppedFile(data).has_value();
}

void acceptFileDrags(QDragEnterEvent* event)
{
    if (event->mimeData() && carriesLocalFile(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

} // namespace viewer
