#include "setup/message_box_sink.h"

namespace setup {

MessageSink messageBoxesOf(QWidget* owner) {
    return [owner](const std::string& text, const std::string& caption, platform::UINT type) {
        return platform::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
    };
}

}  // namespace setup
