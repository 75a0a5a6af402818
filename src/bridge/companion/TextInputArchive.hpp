#pragma once
// TextInputArchive: the keyed archives inside the Apple TV's text-input messages. The TV's archive
// (`_tiD`) names the focused field's session and its text; ours asks it to clear the field or to
// insert text, and replacing is a clear then an insert. The other side, what the TV sends and
// reads, serves our fake TV in tests. The bytes come from the network: readers refuse archives
// over 64 KiB, bound every chain of references and never throw. Pure; any thread.
//
//   if (auto field = TextInputArchive::readField(tiD)) {
//       send(TextInputArchive::clear(field->sessionUuid));
//       send(TextInputArchive::insert(field->sessionUuid, "the bear"));
//   }

#include <optional>
#include <string>

#include "bridge/crypto/Bytes.hpp"

namespace orvel::TextInputArchive {

struct Field {
    crypto::Bytes sessionUuid;  // 16 bytes
    std::string text;           // valid UTF-8; "" when the TV leaves it out
    bool operator==(const Field&) const = default;
};

// Nothing when the bytes are not an archive naming a 16-byte session, or the text is there but is
// not text we can pass on (not UTF-8, or holding a NUL).
std::optional<Field> readField(crypto::ByteView archive);

// `text` is UTF-8 and ends at its first NUL, as the archive's strings do here.
crypto::Bytes clear(crypto::ByteView sessionUuid);
crypto::Bytes insert(crypto::ByteView sessionUuid, const std::string& text);

// The TV's side.
crypto::Bytes field(crypto::ByteView sessionUuid, const std::string& text);

struct Operation {
    crypto::Bytes target;
    bool clears = false;
    std::optional<std::string> insertion;
    bool operator==(const Operation&) const = default;
};

// Nothing unless the archive is ours: text operations, of the classes the TV knows, on a session.
std::optional<Operation> readOperation(crypto::ByteView archive);

}  // namespace orvel::TextInputArchive
