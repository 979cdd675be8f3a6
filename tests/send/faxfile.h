// Writes small TIFF files for the tests: fax pages (CCITT group 3) of a given width, or an
// uncompressed image.
#pragma once

#include <tiffio.h>

#include <string>
#include <vector>

namespace qortest {

inline bool writeTiff(const std::string& path, uint32_t width, uint16_t compression = COMPRESSION_CCITTFAX3,
                      int pages = 1, const char* description = nullptr, const char* docname = nullptr) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t) return false;
    const uint32_t rows = 8;
    std::vector<unsigned char> row((width + 7) / 8, 0);
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, rows);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rows);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, 98.0);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        if (pages > 1) TIFFSetField(t, TIFFTAG_PAGENUMBER, p, pages);
        if (description) TIFFSetField(t, TIFFTAG_IMAGEDESCRIPTION, description);
        if (docname) TIFFSetField(t, TIFFTAG_DOCUMENTNAME, docname);
        for (uint32_t r = 0; r < rows; ++r)
            if (TIFFWriteScanline(t, row.data(), r, 0) < 0) {
                TIFFClose(t);
                return false;
            }
        TIFFWriteDirectory(t);
    }
    TIFFClose(t);
    return true;
}

}  // namespace qortest
