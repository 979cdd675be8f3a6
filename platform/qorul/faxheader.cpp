// The header of a fax image file: TIFF Class F, read with libtiff.
#include <sys/stat.h>
#include <tiffio.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "qorul.h"

namespace {

// libtiff reports to stderr by default; a damaged or foreign file is an ordinary result here.
void quiet(const char*, const char*, va_list) {}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

}  // namespace

int16_t UL_readfaxheader(uint32_t, const char* path, UL_FAXHEADER* header) {
    if (!path || !*path || !header) return UL_E_BADARG;
    std::memset(header, 0, sizeof *header);
    struct stat st {};
    if (::stat(path, &st) != 0) return errno == ENOENT ? int16_t{UL_E_NOTFOUND} : int16_t{UL_E_OPEN};
    if (!S_ISREG(st.st_mode)) return UL_E_OPEN;
    FILE* probe = std::fopen(path, "rb");
    if (!probe) return UL_E_OPEN;
    unsigned char magic[4] = {};
    const std::size_t n = std::fread(magic, 1, sizeof magic, probe);
    std::fclose(probe);
    const bool tiff = n == 4 && ((magic[0] == 'I' && magic[1] == 'I' && magic[2] == 42 && magic[3] == 0) ||
                                 (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && magic[3] == 42));
    if (!tiff) return 0;  // not a TIFF: format 0

    TIFFSetErrorHandler(quiet);
    TIFFSetWarningHandler(quiet);
    std::unique_ptr<TIFF, TiffCloser> t(TIFFOpen(path, "r"));
    if (!t) return 0;  // a damaged TIFF is no fax image either
    uint32_t width = 0;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_COMPRESSION, &compression);
    header->format = (compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4) ? 2 : 1;
    header->linewidth = width > 0x7FFF ? int16_t{0x7FFF} : static_cast<int16_t>(width);
    const char* text = nullptr;
    if (TIFFGetField(t.get(), TIFFTAG_IMAGEDESCRIPTION, &text) == 1 && text)
        UL_strcopy(header->text1, sizeof header->text1, text);
    text = nullptr;
    if (TIFFGetField(t.get(), TIFFTAG_DOCUMENTNAME, &text) == 1 && text)
        UL_strcopy(header->text2, sizeof header->text2, text);
    const tdir_t pages = TIFFNumberOfDirectories(t.get());
    header->pages = pages > 0x7FFF ? int16_t{0x7FFF} : static_cast<int16_t>(pages);
    return 0;
}
