#include "bridge/companion/KeyedArchive.hpp"

#include <cstring>

#include "bridge/companion/BinaryPlistShape.hpp"
#include "core/UnicodeScalars.hpp"

namespace orvel::KeyedArchive {

namespace {

constexpr std::uint64_t kArchiveVersion = 100000;

plist_t uidNode(Writer::Uid uid) {
    return plist_new_uid(uid.index);
}

bool isDictionary(plist_t node) {
    return plist_get_node_type(node) == PLIST_DICT;
}

}  // namespace

Plist& Plist::operator=(Plist&& other) noexcept {
    if (this != &other) {
        reset();
        node_ = std::exchange(other.node_, nullptr);
    }
    return *this;
}

void Plist::reset() {
    if (node_ != nullptr) plist_free(std::exchange(node_, nullptr));
}

std::optional<Reader> Reader::open(crypto::ByteView bytes) {
    // The parser copies a shared object once per reference: its tree is measured first.
    if (bytes.size() > kMaxArchiveBytes || !BinaryPlistShape::fitsIn(bytes, kMaxArchiveNodes)) {
        return std::nullopt;
    }
    plist_t parsed = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::uint32_t>(bytes.size()), &parsed);
    Reader reader{Plist{parsed}};
    if (parsed == nullptr || !isDictionary(parsed)) return std::nullopt;
    reader.objects_ = plist_dict_get_item(parsed, "$objects");
    reader.top_ = plist_dict_get_item(parsed, "$top");
    if (plist_get_node_type(reader.objects_) != PLIST_ARRAY || !isDictionary(reader.top_)) {
        return std::nullopt;
    }
    return reader;
}

plist_t Reader::fail() {
    failed_ = true;
    return nullptr;
}

plist_t Reader::resolve(plist_t node) {
    for (int hop = 0; node != nullptr && plist_get_node_type(node) == PLIST_UID; ++hop) {
        std::uint64_t index = 0;
        plist_get_uid_val(node, &index);
        if (hop == kMaxUidHops || index >= plist_array_get_size(objects_)) return fail();
        if (index == 0) return nullptr;
        node = plist_array_get_item(objects_, static_cast<std::uint32_t>(index));
    }
    return node;
}

plist_t Reader::top(const char* key) {
    return member(top_, key);
}

plist_t Reader::member(plist_t object, const char* key) {
    if (object == nullptr) return nullptr;
    if (!isDictionary(object)) return fail();
    return resolve(plist_dict_get_item(object, key));
}

std::string Reader::text(plist_t node) {
    if (node != nullptr && isDictionary(node)) node = member(node, "NS.string");
    if (node == nullptr) return {};
    std::string value;
    if (plist_get_node_type(node) == PLIST_STRING) {
        std::uint64_t length = 0;
        const char* chars = plist_get_string_ptr(node, &length);
        value.assign(chars, length);
    }
    if (plist_get_node_type(node) != PLIST_STRING || value.find('\0') != std::string::npos ||
        !UnicodeScalars::count(value)) {
        fail();
        return {};
    }
    return value;
}

std::optional<crypto::Bytes> Reader::uuid(plist_t node) {
    if (node != nullptr && isDictionary(node)) node = member(node, "NS.uuidbytes");
    if (node == nullptr) return std::nullopt;
    std::uint64_t length = 0;
    const char* bytes =
        plist_get_node_type(node) == PLIST_DATA ? plist_get_data_ptr(node, &length) : nullptr;
    if (bytes == nullptr || length != 16) {
        fail();
        return std::nullopt;
    }
    const auto* first = reinterpret_cast<const std::uint8_t*>(bytes);
    return crypto::Bytes(first, first + length);
}

std::string Reader::className(plist_t object) {
    return text(member(member(object, "$class"), "$classname"));
}

std::optional<std::string> Reader::archiver() const {
    const plist_t name = plist_dict_get_item(root_.get(), "$archiver");
    if (plist_get_node_type(name) != PLIST_STRING) return std::nullopt;
    std::uint64_t length = 0;
    const char* chars = plist_get_string_ptr(name, &length);
    return std::string(chars, length);
}

Writer::Writer() {
    append(Plist{plist_new_string("$null")});
}

Writer::Uid Writer::append(Plist node) {
    objects_.push_back(std::move(node));
    return Uid{objects_.size() - 1};
}

Writer::Uid Writer::reserve() {
    return append(Plist{});
}

Writer::Uid Writer::string(const std::string& text) {
    return append(Plist{plist_new_string(text.c_str())});
}

Writer::Uid Writer::data(crypto::ByteView bytes) {
    return append(Plist{plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size())});
}

Writer::Uid Writer::object(const char* className, std::initializer_list<Member> members,
                           std::optional<Uid> slot) {
    const Uid at = slot ? *slot : reserve();
    Plist dict{plist_new_dict()};
    for (const auto& [key, value] : members) {
        if (const auto* uid = std::get_if<Uid>(&value)) {
            plist_dict_set_item(dict.get(), key, uidNode(*uid));
        } else {
            const auto& bytes = std::get<crypto::Bytes>(value);
            plist_dict_set_item(
                dict.get(), key,
                plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        }
    }
    Uid classUid;
    bool known = false;
    for (const auto& [name, uid] : classes_) {
        if (name == className) classUid = uid, known = true;
    }
    if (!known) {
        Plist description{plist_new_dict()};
        plist_dict_set_item(description.get(), "$classname", plist_new_string(className));
        plist_t chain = plist_new_array();
        plist_array_append_item(chain, plist_new_string(className));
        plist_array_append_item(chain, plist_new_string("NSObject"));
        plist_dict_set_item(description.get(), "$classes", chain);
        classUid = append(std::move(description));
        classes_.emplace_back(className, classUid);
    }
    plist_dict_set_item(dict.get(), "$class", uidNode(classUid));
    objects_[at.index] = std::move(dict);
    return at;
}

crypto::Bytes Writer::finish(const char* archiverName,
                             std::initializer_list<std::pair<const char*, Uid>> top) {
    Plist root{plist_new_dict()};
    plist_dict_set_item(root.get(), "$archiver", plist_new_string(archiverName));
    plist_dict_set_item(root.get(), "$version", plist_new_uint(kArchiveVersion));
    plist_t topDict = plist_new_dict();
    for (const auto& [key, uid] : top) plist_dict_set_item(topDict, key, uidNode(uid));
    plist_dict_set_item(root.get(), "$top", topDict);
    plist_t objects = plist_new_array();
    for (auto& object : objects_) {
        // A slot reserved and never filled would leave a hole libplist cannot write.
        plist_array_append_item(objects,
                                object.get() ? object.release() : plist_new_string("$null"));
    }
    objects_.clear();
    plist_dict_set_item(root.get(), "$objects", objects);

    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    crypto::Bytes out(reinterpret_cast<const std::uint8_t*>(bytes),
                      reinterpret_cast<const std::uint8_t*>(bytes) + length);
    plist_to_bin_free(bytes);
    return out;
}

}  // namespace orvel::KeyedArchive
