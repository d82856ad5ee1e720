// Export picture: a view's picture saved as a PNG file, from a dialog or a path, the failure
// told once, in the message sink or a message box.
#pragma once

#include <QImage>
#include <filesystem>

#include "frontend/message_sink.h"

class QWidget;

namespace tarnell {

// Saves `picture` at `file`; false, with the message shown, when it cannot be written.
bool savePicture(const QImage& picture, const std::filesystem::path& file,
                 const MessageSink& showMessage, QWidget* parent);

// Asks `parent`'s user for a PNG file (".png" added when missing) and saves `picture` there.
void exportPicture(const QImage& picture, const MessageSink& showMessage, QWidget* parent);

}  // namespace tarnell
