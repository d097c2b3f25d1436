#pragma once
// The installer's messages as message boxes owned by a window.

#include "setup/messages.h"

class QWidget;

namespace setup {

MessageSink messageBoxesOf(QWidget* owner);

}  // namespace setup
