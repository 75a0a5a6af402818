#pragma once
// KeyedArchive: the keyed-archiver property lists that Apple TVs exchange, over libplist's binary
// form. An archive is a dictionary whose `$top` members point by UID into the `$objects` array;
// objects point at each other and at their class the same way. The bytes come from the network,
// so reading refuses large input and bounds every chain of UIDs; within one archive a failure is
// sticky, like a stream's, so a caller walks a path and checks once at the end. Pure; any thread;
// never throws. Used by TextInputArchive only.
//
//   auto archive = KeyedArchive::Reader::open(bytes);
//   auto text = archive->text(archive->member(archive->top("field"), "text"));
//   if (!archive->failed()) use(text);

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <plist/plist.h>

#include "bridge/crypto/Bytes.hpp"

namespace orvel::KeyedArchive {

inline constexpr std::size_t kMaxArchiveBytes = std::size_t{64} << 10;
// Nodes of the parsed tree; an archive as large as kMaxArchiveBytes holds far fewer.
inline constexpr std::size_t kMaxArchiveNodes = 20'000;
// A UID names an object, never another UID; a few hops forgive an odd writer, more is a loop.
inline constexpr int kMaxUidHops = 4;

// Owns one libplist tree (or nothing).
class Plist {
public:
    explicit Plist(plist_t node = nullptr) : node_(node) {}
    ~Plist() { reset(); }
    Plist(Plist&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
    Plist& operator=(Plist&& other) noexcept;
    Plist(const Plist&) = delete;
    Plist& operator=(const Plist&) = delete;

    plist_t get() const { return node_; }
    // For the libplist calls that adopt a node.
    plist_t release() { return std::exchange(node_, nullptr); }

private:
    void reset();
    plist_t node_;
};

// The nodes a Reader hands out live as long as it does. Absent members and UID 0 ("$null") read
// as nullptr, which every accessor passes through; a member of the wrong kind, or a UID that is
// out of range or loops, marks the archive failed.
class Reader {
public:
    // Nothing for bytes that are not a binary plist with `$objects` and `$top`.
    static std::optional<Reader> open(crypto::ByteView bytes);

    plist_t top(const char* key);
    // `object` must be a dictionary (or nullptr).
    plist_t member(plist_t object, const char* key);
    // A string, or an object holding one in `NS.string`; "" for nullptr. Valid UTF-8 without NUL
    // only: what the bridge's lines and libplist's strings can carry further.
    std::string text(plist_t node);
    // Data of 16 bytes, or an object holding them in `NS.uuidbytes`; nothing for nullptr.
    std::optional<crypto::Bytes> uuid(plist_t node);
    // The `$classname` of the object's `$class`; "" when it has none.
    std::string className(plist_t object);
    std::optional<std::string> archiver() const;

    bool failed() const { return failed_; }

private:
    explicit Reader(Plist root) : root_(std::move(root)) {}
    plist_t resolve(plist_t node);
    plist_t fail();

    Plist root_;
    plist_t objects_ = nullptr;
    plist_t top_ = nullptr;
    bool failed_ = false;
};

// Objects are numbered in the order they are added or reserved; `$objects[0]` is "$null".
class Writer {
public:
    struct Uid {
        std::uint64_t index = 0;
    };
    using Member = std::pair<const char*, std::variant<Uid, crypto::Bytes>>;

    Writer();
    // A number for an object whose members are written after it.
    Uid reserve();
    Uid string(const std::string& text);
    Uid data(crypto::ByteView bytes);
    // An object of `className` (its class object is written once per name), into `slot` if given.
    Uid object(const char* className, std::initializer_list<Member> members,
               std::optional<Uid> slot = std::nullopt);
    crypto::Bytes finish(const char* archiverName,
                         std::initializer_list<std::pair<const char*, Uid>> top);

private:
    Uid append(Plist node);

    std::vector<Plist> objects_;
    std::vector<std::pair<std::string, Uid>> classes_;
};

}  // namespace orvel::KeyedArchive
