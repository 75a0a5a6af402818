#pragma once
// ImageFiles: the file side of the pictures the app draws (icon set, previews): folders made
// with their parents, PNG encoding, and whole files written, each failure one sentence that
// names the file. Errors as values; nothing throws.
//
//   if (auto made = ImageFiles::makeFolder(folder); !made) return made;
//   if (auto bytes = ImageFiles::png(image)) return ImageFiles::write(folder / "a.png", *bytes);
//
// Owner: none (free functions). Thread: any. Nothing to end.

#include <QByteArray>
#include <QImage>
#include <filesystem>
#include <optional>

#include "platform/Result.hpp"

namespace orvel::ImageFiles {

// Creates `folder` and the folders above it; an existing folder is fine.
Result<void> makeFolder(const std::filesystem::path& folder);

// The image as PNG bytes; nothing for a null image or a failed encoding.
std::optional<QByteArray> png(const QImage& image);

// Replaces `file` with `bytes`; a reader never sees half a file.
Result<void> write(const std::filesystem::path& file, const QByteArray& bytes);

}  // namespace orvel::ImageFiles
