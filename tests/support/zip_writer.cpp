#include "support/zip_writer.h"

#include <zip.h>

bool writeZip(const std::string& path, const ZipEntries& entries) {
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    bool ok = true;
    for (const auto& [name, bytes] : entries) {
        zip_fileinfo info = {};
        ok = ok && zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                       Z_DEFAULT_COMPRESSION) == ZIP_OK;
        if (ok && !bytes.empty())
            ok = zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) == ZIP_OK;
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}
