#include "fakes/fake_input.h"

namespace fakes {

PostedEvent& FakeInput::record(PostedEvent::Kind kind) {
    PostedEvent event;
    event.kind = kind;
    event.atSeconds = clock_ ? clock_->hostSeconds() : 0;
    events.push_back(event);
    return events.back();
}

bool FakeInput::postKey(int32_t pid, uint16_t keyCode, uint64_t flags, bool down) {
    if (down && unfocusable.count(pid)) return false;
    auto& event = record(down ? PostedEvent::Kind::keyDown : PostedEvent::Kind::keyUp);
    event.pid = pid;
    event.keyCode = keyCode;
    event.flags = flags;
    return true;
}

bool FakeInput::postCharacter(int32_t pid, const std::string& character) {
    if (unfocusable.count(pid)) return false;
    auto& event = record(PostedEvent::Kind::character);
    event.pid = pid;
    event.character = character;
    return true;
}

bool FakeInput::pointReachesProcess(platform::Point point, int32_t pid) {
    if (windowsTopFirst.empty()) return true;
    for (const ScreenWindow& window : windowsTopFirst) {
        if (window.frame.contains(point)) return window.pid == pid;
    }
    return false;
}

void FakeInput::postMouseMoved(platform::Point point) {
    record(PostedEvent::Kind::mouseMoved).point = point;
}

void FakeInput::postLeftDown(platform::Point point) { record(PostedEvent::Kind::leftDown).point = point; }

void FakeInput::postLeftUp(platform::Point point) { record(PostedEvent::Kind::leftUp).point = point; }

void FakeInput::postScroll(platform::Point point, int32_t dxPixels, int32_t dyPixels) {
    auto& event = record(PostedEvent::Kind::scroll);
    event.point = point;
    event.dxPixels = dxPixels;
    event.dyPixels = dyPixels;
}

std::string FakeInput::typedText() const {
    std::string text;
    for (const auto& event : events) {
        if (event.kind == PostedEvent::Kind::character) text += event.character;
    }
    return text;
}

}  // namespace fakes
