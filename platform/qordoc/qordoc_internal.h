// What the parts of the document reader share. Not a public header.
#pragma once

#include <cairo.h>
#include <tiffio.h>

#include "qordoc.h"

namespace qordoc {

// A page image from a cairo A1 surface (alpha = ink).
void pageFromA1(cairo_surface_t* surface, Page* page);
// The grey image of a cairo RGB24 or ARGB32 surface (luminance, on white).
Grey greyOf(cairo_surface_t* surface);
// The same into a grey image whose memory is kept from page to page.
void greyInto(cairo_surface_t* surface, Grey* out);
// The fax page of an RGB24 or RGB 5-6-5 surface drawn at the fax's size (placed at the top
// centre) into `page`, whose memory is kept: the same result as faxPageOf on its grey image,
// without making one unless it must be dithered. With restorePaper the surface is left all
// white (only where it was drawn on is written), ready for the next page without a fill.
void faxPageOfRgb(cairo_surface_t* surface, const Format& format, Grey* scratch, Page* page, bool restorePaper);

// A page coded as CCITT Group 3 one-dimensional data with byte-aligned EOLs and RTC, least
// significant bit first: the strip of a page file with T4Options 4 and FillOrder 2.
void encodeG3(const Page& page, std::vector<uint8_t>* out);

// libtiff reading from bytes in memory.
struct TiffMemory {
    const std::string* bytes = nullptr;
    uint64_t pos = 0;
};
struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
// libtiff's warnings are dropped and its last error kept (tiffError) for the user's reason.
void quietTiff();
std::string tiffError();
TIFF* openTiffBytes(const std::string& bytes, TiffMemory* memory);
// A resolution tag in dots an inch (0 when absent or without a unit).
double resolutionOf(TIFF* t, ttag_t tag);

// Images no larger than this many pixels are decoded (a bound against hostile headers).
constexpr uint64_t kMaxImagePixels = 80u * 1000u * 1000u;

}  // namespace qordoc
