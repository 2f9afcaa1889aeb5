#pragma once

#include <QString>

#include <optional>

class QDragEnterEvent;
class QMimeData;

namespace viewer {

/// The first local file of a dropped file list, in the drag source's order; nothing when the
/// data carries no file list or no local file (remote addresses are skipped).
std::optional<QString> firstDroppedFile(const QMimeData& data);

/// True when a drag carries a file list with at least one local file.
bool carriesLocalFile(const QMimeData& data);

/// Takes a drag that carries a local file and refuses anything else (text, say) quietly, so
/// that only file lists are ever dropped on the program.
void acceptFileDrags(QDragEnterEvent* event);

} // namespace viewer
