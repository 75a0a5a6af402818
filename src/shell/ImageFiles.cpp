#include "shell/ImageFiles.hpp"

#include <QBuffer>
#include <QSaveFile>
#include <QString>
#include <system_error>

namespace orvel::ImageFiles {

Result<void> makeFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // An existing folder may still come back as an error on some file systems.
    std::error_code ignored;
    if (error && !std::filesystem::is_directory(folder, ignored)) {
        return Failure{"The folder " + folder.string() + " could not be created (" +
                       error.message() + ")."};
    }
    return {};
}

std::optional<QByteArray> png(const QImage& image) {
    if (image.isNull()) return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return std::nullopt;
    return bytes;
}

Result<void> write(const std::filesystem::path& file, const QByteArray& bytes) {
    QSaveFile out(QString::fromStdString(file.string()));
    const bool written =
        out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
    if (!written) {
        return Failure{"The file " + file.string() + " could not be written (" +
                       out.errorString().toStdString() + ")."};
    }
    return {};
}

}  // namespace orvel::ImageFiles
