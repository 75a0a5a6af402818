#pragma once
// CompanionTextInput: replaces what the Apple TV's focused text field holds. It restarts the
// TV's text-input session, which answers with the field's session and text when one has the
// focus, then clears the field and inserts the text (TextInputArchive). Loop thread only.
//
//   CompanionTextInput::replace(connection, "the bear", timeout, [](CompanionResult<bool> r) {
//       if (r && !r.value()) { /* no text field has the focus */ }
//   });

#include <functional>
#include <string>

#include "bridge/appletv/CompanionConnection.hpp"

namespace orvel::CompanionTextInput {

// Completes with true once the text went out, false when no text field has the focus, or the
// connection's error. Like every completion of `connection`, never called after it is gone.
void replace(CompanionConnection& connection, const std::string& text, double timeout,
             const std::function<void(CompanionResult<bool>)>& done);

}  // namespace orvel::CompanionTextInput
