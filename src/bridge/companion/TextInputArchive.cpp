#include "bridge/companion/TextInputArchive.hpp"

#include "bridge/companion/KeyedArchive.hpp"

namespace orvel::TextInputArchive {

namespace {

using KeyedArchive::Reader;
using KeyedArchive::Writer;

constexpr const char* kArchiver = "RTIKeyedArchiver";

crypto::Bytes operationArchive(crypto::ByteView sessionUuid, const std::string* insertion) {
    Writer archive;
    const auto operations = archive.reserve();
    const auto target = archive.object(
        "NSUUID", {{"NS.uuidbytes", crypto::Bytes(sessionUuid.begin(), sessionUuid.end())}});
    const auto output = insertion ? archive.object("TIKeyboardOutput",
                                                   {{"insertionText", archive.string(*insertion)}})
                                  : archive.object("TIKeyboardOutput", {});
    if (insertion) {
        archive.object("RTITextOperations",
                       {{"targetSessionUUID", target}, {"keyboardOutput", output}}, operations);
    } else {
        archive.object("RTITextOperations",
                       {{"targetSessionUUID", target},
                        {"keyboardOutput", output},
                        {"textToAssert", archive.string("")}},
                       operations);
    }
    return archive.finish(kArchiver, {{"textOperations", operations}});
}

}  // namespace

std::optional<Field> readField(crypto::ByteView bytes) {
    auto archive = Reader::open(bytes);
    if (!archive) return std::nullopt;
    auto uuid = archive->uuid(archive->top("sessionUUID"));
    auto text = archive->text(archive->member(
        archive->member(archive->top("documentState"), "docSt"), "contextBeforeInput"));
    if (archive->failed() || !uuid) return std::nullopt;
    return Field{std::move(*uuid), std::move(text)};
}

crypto::Bytes clear(crypto::ByteView sessionUuid) {
    return operationArchive(sessionUuid, nullptr);
}

crypto::Bytes insert(crypto::ByteView sessionUuid, const std::string& text) {
    return operationArchive(sessionUuid, &text);
}

crypto::Bytes field(crypto::ByteView sessionUuid, const std::string& text) {
    Writer archive;
    const auto uuid = archive.data(sessionUuid);
    const auto documentState = archive.reserve();
    const auto docSt = archive.reserve();
    // The TV leaves an empty field's text out.
    if (text.empty()) {
        archive.object("TIDocumentState", {}, docSt);
    } else {
        archive.object("TIDocumentState", {{"contextBeforeInput", archive.string(text)}}, docSt);
    }
    archive.object("RTIDocumentState", {{"docSt", docSt}}, documentState);
    return archive.finish(kArchiver, {{"sessionUUID", uuid}, {"documentState", documentState}});
}

std::optional<Operation> readOperation(crypto::ByteView bytes) {
    auto archive = Reader::open(bytes);
    if (!archive || archive->archiver() != kArchiver) return std::nullopt;
    const auto operations = archive->top("textOperations");
    const auto target = archive->member(operations, "targetSessionUUID");
    const auto output = archive->member(operations, "keyboardOutput");
    const auto asserted = archive->member(operations, "textToAssert");
    const auto insertion = archive->member(output, "insertionText");
    if (archive->className(operations) != "RTITextOperations" ||
        archive->className(target) != "NSUUID" ||
        archive->className(output) != "TIKeyboardOutput") {
        return std::nullopt;
    }
    Operation operation;
    auto uuid = archive->uuid(target);
    // Asserting other text is an operation we never send.
    operation.clears = asserted != nullptr && archive->text(asserted).empty();
    if (asserted != nullptr && !operation.clears) return std::nullopt;
    if (insertion != nullptr) operation.insertion = archive->text(insertion);
    if (archive->failed() || !uuid) return std::nullopt;
    operation.target = std::move(*uuid);
    return operation;
}

}  // namespace orvel::TextInputArchive
