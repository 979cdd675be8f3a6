// Fax files: TIFF Class F written and read with libtiff.
//
// A page file is a single-page TIFF Class F: 1728 (or 2048) pixels wide, bilevel, white is
// zero (PhotometricInterpretation 0), CCITT Group 3 coding (T4Options 4: 1-D with EOLs padded
// to byte boundaries; 5: 2-D with K of 2 at normal and 4 at fine resolution), FillOrder 2
// (least significant bit first, as fax modems send), 204 dpi across and 98 or 196 down,
// SubfileType page, PageNumber (page, total), Software and DateTime. A multi-page fax file has
// one such directory per page.
#include <tiffio.h>
#include <unistd.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "qordoc.h"
#include "qordoc_internal.h"
#include "qorul.h"

namespace qordoc {

namespace {

thread_local std::string lastTiffError;

void quietWarning(const char*, const char*, va_list) {}
void keepError(const char*, const char* fmt, va_list ap) {
    char buf[256];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    lastTiffError = buf;
}


tsize_t memRead(thandle_t h, tdata_t buf, tsize_t size) {
    auto* m = static_cast<TiffMemory*>(h);
    if (m->pos >= m->bytes->size() || size <= 0) return 0;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), m->bytes->size() - m->pos);
    std::memcpy(buf, m->bytes->data() + m->pos, n);
    m->pos += n;
    return static_cast<tsize_t>(n);
}
tsize_t memWrite(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t memSeek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<TiffMemory*>(h);
    toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->bytes->size();
    m->pos = base + off;
    return m->pos;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<TiffMemory*>(h)->bytes->size(); }
int memMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void memUnmap(thandle_t, tdata_t, toff_t) {}

}  // namespace

void quietTiff() {
    TIFFSetErrorHandler(keepError);
    TIFFSetWarningHandler(quietWarning);
    lastTiffError.clear();
}

std::string tiffError() { return lastTiffError; }

TIFF* openTiffBytes(const std::string& bytes, TiffMemory* m) {
    quietTiff();
    m->bytes = &bytes;
    m->pos = 0;
    // 'm' keeps libtiff from mapping; the reader works on the bytes given.
    return TIFFClientOpen("document", "rm", static_cast<thandle_t>(m), memRead, memWrite, memSeek, memClose, memSize,
                          memMap, memUnmap);
}

double resolutionOf(TIFF* t, ttag_t tag) {
    float v = 0;
    uint16_t unit = RESUNIT_INCH;
    if (TIFFGetField(t, tag, &v) != 1 || !(v > 0) || !std::isfinite(v)) return 0;
    TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit == RESUNIT_CENTIMETER) return v * 2.54;
    if (unit == RESUNIT_NONE) return 0;
    return v;
}

int16_t writeFax(const std::string& path, const std::vector<Page>& pages, bool twoD, int firstNumber, int total) {
    return writeFax(path, std::span<const Page>(pages), twoD, firstNumber, total);
}

int16_t writeFax(const std::string& path, const Page& page, bool twoD, int number, int total) {
    return writeFax(path, std::span<const Page>(&page, 1), twoD, number, total);
}

int16_t writeFax(const std::string& path, std::span<const Page> pages, bool twoD, int firstNumber, int total) {
    if (pages.empty()) return E_WRITE;
    quietTiff();
    if (total <= 0) total = static_cast<int>(pages.size());
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    SF_DATETIME now{};
    UL_now(&now);
    char when[24];
    std::snprintf(when, sizeof when, "%04u:%02u:%02u %02u:%02u:%02u", now.year % 10000u, now.month % 100u,
                  now.day % 100u, now.hour % 100u, now.minute % 100u, now.second % 100u);
    bool ok = true;
    std::vector<uint8_t> coded;
    {
        std::unique_ptr<TIFF, TiffCloser> t(TIFFOpen(tmp.c_str(), "w"));
        if (!t) return E_WRITE;
        for (std::size_t i = 0; ok && i < pages.size(); ++i) {
            const Page& p = pages[i];
            TIFF* tf = t.get();
            TIFFSetField(tf, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
            TIFFSetField(tf, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(p.width));
            TIFFSetField(tf, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(p.height));
            TIFFSetField(tf, TIFFTAG_BITSPERSAMPLE, 1);
            TIFFSetField(tf, TIFFTAG_SAMPLESPERPIXEL, 1);
            TIFFSetField(tf, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
            TIFFSetField(tf, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
            TIFFSetField(tf, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
            TIFFSetField(tf, TIFFTAG_GROUP3OPTIONS,
                         static_cast<uint32_t>(GROUP3OPT_FILLBITS | (twoD ? GROUP3OPT_2DENCODING : 0)));
            TIFFSetField(tf, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
            TIFFSetField(tf, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            TIFFSetField(tf, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(p.height));
            TIFFSetField(tf, TIFFTAG_XRESOLUTION, static_cast<float>(p.xdpi > 0 ? p.xdpi : kXdpi));
            TIFFSetField(tf, TIFFTAG_YRESOLUTION, static_cast<float>(p.ydpi > 0 ? p.ydpi : kNormalDpi));
            TIFFSetField(tf, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
            TIFFSetField(tf, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(firstNumber + static_cast<int>(i)),
                         static_cast<uint16_t>(total));
            TIFFSetField(tf, TIFFTAG_SOFTWARE, "QOR High Level Fax Library");
            TIFFSetField(tf, TIFFTAG_DATETIME, when);
            TIFFSetField(tf, TIFFTAG_CLEANFAXDATA, CLEANFAXDATA_CLEAN);
            if (!twoD) {
                // One-dimensional coding is ours (the same bytes as libtiff's, in less than half
                // the time), written as the page's one strip.
                encodeG3(p, &coded);
                ok = TIFFWriteRawStrip(tf, 0, coded.data(), static_cast<tmsize_t>(coded.size())) >= 0;
            } else {
                for (int y = 0; ok && y < p.height; ++y)
                    ok = TIFFWriteScanline(tf, const_cast<uint8_t*>(p.row(y)), static_cast<uint32_t>(y), 0) >= 0;
            }
            ok = ok && TIFFWriteDirectory(tf) == 1;
        }
    }
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return E_WRITE;
    }
    return 0;
}

int16_t readFaxBytes(const std::string& bytes, std::vector<Page>* pages, std::string* reason, int limit) {
    pages->clear();
    TiffMemory mem;
    std::unique_ptr<TIFF, TiffCloser> t(openTiffBytes(bytes, &mem));
    if (!t) {
        if (reason) *reason = "not a TIFF file, or damaged: " + tiffError();
        return E_DAMAGED;
    }
    int n = 0;
    do {
        if (limit > 0 && n >= limit) {
            if (reason) *reason = "more than " + std::to_string(limit) + " pages";
            return E_TOOMANYPAGES;
        }
        uint32_t w = 0, h = 0;
        uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE;
        TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &h);
        TIFFGetFieldDefaulted(t.get(), TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetFieldDefaulted(t.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetFieldDefaulted(t.get(), TIFFTAG_PHOTOMETRIC, &photometric);
        if (bps != 1 || spp != 1 || w == 0 || h == 0 || w > 8192 || h > 16384 || TIFFIsTiled(t.get())) {
            if (reason) *reason = "page " + std::to_string(n + 1) + " is not a bilevel fax image";
            return E_NOTFAX;
        }
        Page p;
        p.resize(static_cast<int>(w), static_cast<int>(h));
        const double xr = resolutionOf(t.get(), TIFFTAG_XRESOLUTION), yr = resolutionOf(t.get(), TIFFTAG_YRESOLUTION);
        p.xdpi = xr > 0 ? static_cast<int>(std::lround(xr)) : kXdpi;
        p.ydpi = yr > 0 ? static_cast<int>(std::lround(yr)) : kNormalDpi;
        const tmsize_t line = TIFFScanlineSize(t.get());
        if (line <= 0 || static_cast<std::size_t>(line) < p.stride) {
            if (reason) *reason = "page " + std::to_string(n + 1) + " is damaged";
            return E_DAMAGED;
        }
        std::vector<uint8_t> buf(static_cast<std::size_t>(line));
        for (uint32_t y = 0; y < h; ++y) {
            if (TIFFReadScanline(t.get(), buf.data(), y, 0) < 0) {
                if (reason) *reason = "page " + std::to_string(n + 1) + " is damaged: " + tiffError();
                return E_DAMAGED;
            }
            uint8_t* dst = p.row(static_cast<int>(y));
            for (std::size_t i = 0; i < p.stride; ++i)
                dst[i] = photometric == PHOTOMETRIC_MINISBLACK ? static_cast<uint8_t>(~buf[i]) : buf[i];
            if (w % 8) dst[p.stride - 1] &= static_cast<uint8_t>(0xFF00 >> (w % 8));
        }
        pages->push_back(std::move(p));
        ++n;
    } while (TIFFReadDirectory(t.get()) == 1);
    return 0;
}

int16_t readFax(const std::string& path, std::vector<Page>* pages, std::string* reason) {
    std::string bytes;
    if (int16_t st = readFile(path, &bytes)) {
        if (reason) *reason = "cannot be read";
        return st;
    }
    return readFaxBytes(bytes, pages, reason);
}

}  // namespace qordoc
