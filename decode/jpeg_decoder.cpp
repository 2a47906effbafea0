#include "decode/jpeg_decoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

// libjpeg's headers need <cstdio> before them.
#include <jerror.h>
#include <jpeglib.h>

#include "decode/exif_orientation.h"

namespace {

constexpr std::size_t kInputBufferSize = 64 * 1024;
// Every scan of a progressive file is a pass over the whole picture; real files have about
// ten, a forged one could ask for millions, and 900 of them on a large picture take over 15
// seconds. libjpeg-turbo's own tools stop at 500 as well.
constexpr int kMaxScans = 500;
constexpr unsigned kExifMarker = JPEG_APP0 + 1;
constexpr unsigned kMaxMarkerLength = 0xFFFF;
// Some encoders leave a byte or two of padding after a scan. More than this is data the
// decoder never used: a scan whose codes went astray.
constexpr int kPaddingAfterScan = 16;

const char* const kCutShort = "the file is cut short";

// libjpeg reports through these; an error leaves by longjmp to the call that started the
// work, so no C++ object with a destructor may live in the frames in between.
struct CJpegErrors {
    jpeg_error_mgr manager;  // first: libjpeg sees the struct through it
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    int damage = 0;  // the first warning that the pixel data is not what was stored
    char damageText[JMSG_LENGTH_MAX] = {};
};

struct CJpegSource {
    jpeg_source_mgr manager;  // first, as above
    std::FILE* file = nullptr;
    // The file ended before its end-of-picture marker, in which input row of a scan.
    bool ranOut = false;
    JDIMENSION rowAtEnd = 0;
    unsigned scannedComponents = 0;  // a bit for each component some scan has carried so far
    JOCTET buffer[kInputBufferSize];
};

// One decompression, released whatever happens.
struct CJpegSession {
    jpeg_decompress_struct info{};
    CJpegErrors errors;
    CJpegSource source;
    jpeg_progress_mgr progress{};
    bool created = false;

    CJpegSession() = default;
    CJpegSession(const CJpegSession&) = delete;
    CJpegSession& operator=(const CJpegSession&) = delete;
    ~CJpegSession() {
        if (created) {
            jpeg_destroy_decompress(&info);
        }
    }
};

// Warnings about what surrounds the pixel data; the pictures they come with decode whole. Stray
// bytes are harmless before the first scan, and a few of them after a scan, but many after a
// scan, or any before a restart marker inside one, are data the decoder could not place.
bool Harmless(j_common_ptr common) {
    const int code = common->err->msg_code;
    if (code == JWRN_EXTRANEOUS_DATA) {
        const auto* info = reinterpret_cast<j_decompress_ptr>(common);
        const int count = common->err->msg_parm.i[0];
        const int marker = common->err->msg_parm.i[1];
        const bool restart = marker >= JPEG_RST0 && marker <= JPEG_RST0 + 7;
        return info->input_scan_number == 0 || (!restart && count <= kPaddingAfterScan);
    }
    return code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC;
}

void ErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<CJpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void EmitMessage(j_common_ptr info, int level) {
    auto* errors = reinterpret_cast<CJpegErrors*>(info->err);
    if (level < 0 && errors->damage == 0 && !Harmless(info)) {
        errors->damage = info->err->msg_code;
        (*info->err->format_message)(info, errors->damageText);
    }
}

void OutputMessage(j_common_ptr) {}

// Notes which components the scan being read carries. Called between libjpeg's steps only,
// never while it reads a scan's header, which may be unfinished.
void NoteScan(j_decompress_ptr info) {
    auto* source = reinterpret_cast<CJpegSource*>(info->src);
    for (int i = 0; i < info->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i) {
        if (info->cur_comp_info[i] != nullptr) {
            source->scannedComponents |= 1u << (info->cur_comp_info[i]->component_index & 31);
        }
    }
}

// libjpeg calls this between its steps through the data, at least once in every scan before
// the scan's data is read.
void WatchScans(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > 0) {
        NoteScan(info);
    }
    if (info->input_scan_number > kMaxScans) {
        auto* errors = reinterpret_cast<CJpegErrors*>(common->err);
        std::snprintf(errors->message, sizeof errors->message, "more than %d scans", kMaxScans);
        std::longjmp(errors->jump, 1);
    }
}

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
    auto* source = reinterpret_cast<CJpegSource*>(info->src);
    std::size_t count = std::fread(source->buffer, 1, kInputBufferSize, source->file);
    if (count == 0) {
        // As libjpeg's own sources do, end the data with an end-of-picture marker; whether the
        // picture was whole is judged after decoding.
        if (!source->ranOut) {
            source->ranOut = true;
            source->rowAtEnd = info->input_iMCU_row;
        }
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        count = 2;
    }
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = count;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    jpeg_source_mgr& manager = *info->src;
    while (count > static_cast<long>(manager.bytes_in_buffer)) {
        count -= static_cast<long>(manager.bytes_in_buffer);
        FillInput(info);
    }
    if (count > 0) {
        manager.next_input_byte += count;
        manager.bytes_in_buffer -= static_cast<std::size_t>(count);
    }
}

void TermSource(j_decompress_ptr) {}

std::unique_ptr<CJpegSession> NewSession(std::FILE* file) {
    std::unique_ptr<CJpegSession> session(new (std::nothrow) CJpegSession);
    if (session) {
        session->source.file = file;
    }
    return session;
}

// Everything up to the first scan. Called under the session's setjmp.
void ReadHeader(CJpegSession& s) {
    jpeg_std_error(&s.errors.manager);
    s.errors.manager.error_exit = ErrorExit;
    s.errors.manager.emit_message = EmitMessage;
    s.errors.manager.output_message = OutputMessage;
    s.info.err = &s.errors.manager;
    jpeg_create_decompress(&s.info);
    s.created = true;
    s.progress.progress_monitor = WatchScans;
    s.info.progress = &s.progress;
    jpeg_source_mgr& source = s.source.manager;
    source.init_source = InitSource;
    source.fill_input_buffer = FillInput;
    source.skip_input_data = SkipInput;
    source.resync_to_restart = jpeg_resync_to_restart;
    source.term_source = TermSource;
    source.bytes_in_buffer = 0;
    source.next_input_byte = nullptr;
    s.info.src = &source;
    jpeg_save_markers(&s.info, kExifMarker, kMaxMarkerLength);
    jpeg_read_header(&s.info, TRUE);
}

CPictureHeader HeaderOf(const jpeg_decompress_struct& info) {
    CPictureHeader header;
    header.width = static_cast<std::int32_t>(info.image_width);  // at most 65535 in a JPEG
    header.height = static_cast<std::int32_t>(info.image_height);
    for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr && header.orientation == 1;
         m = m->next) {
        if (m->marker == kExifMarker) {
            header.orientation = ExifOrientation(m->data, m->data_length);
        }
    }
    return header;
}

std::string Failure(const CJpegSession& s) {
    return s.source.ranOut ? kCutShort
                           : std::string("the picture cannot be decoded: ") + s.errors.message;
}

// Whether a progressive file's scans brought every coefficient to full precision; true for
// other files. Asked before the decoding is finished, which releases what says so.
bool FullPrecision(const jpeg_decompress_struct& info) {
    bool full = true;
    if (info.progressive_mode && info.coef_bits != nullptr) {
        for (int c = 0; c < info.num_components; ++c) {
            for (int k = 0; k < DCTSIZE2; ++k) {
                full = full && info.coef_bits[c][k] == 0;
            }
        }
    }
    return full;
}

// Whether all the data arrived, when the file ended before its end-of-picture marker: the data
// must have stopped after the last row of the last scan, and that scan completed the picture.
bool WholeWithoutEnd(const CJpegSession& s, bool fullPrecision) {
    const jpeg_decompress_struct& info = s.info;
    if (info.arith_code) {
        return false;  // its decoder reads on past the data and complains of nothing missing
    }
    bool whole = s.source.rowAtEnd + 1 >= info.total_iMCU_rows;
    if (info.progressive_mode) {
        whole = whole && fullPrecision;
    } else {
        // Each component is carried by one scan: all must have been reached, the last one
        // being the scan the data ended in.
        const unsigned all = (1u << info.num_components) - 1;
        whole = whole && (s.source.scannedComponents & all) == all;
    }
    return whole;
}

// Whether the decoded picture is all there, judged once every row has been through the
// decoder (any row skipped, the last one read, so all the data has been decoded).
bool Complete(const CJpegSession& s, bool fullPrecision, std::string& error) {
    const int damage = s.errors.damage;
    // Data that ends early is made up with zeros, with a warning about the marker found.
    if (s.source.ranOut && (damage == JWRN_HIT_MARKER || damage == JWRN_MUST_RESYNC ||
                            !WholeWithoutEnd(s, fullPrecision))) {
        error = kCutShort;
        return false;
    }
    if (damage != 0) {
        error = std::string("the picture is damaged: ") + s.errors.damageText;
        return false;
    }
    return true;
}

// Adobe's CMYK JPEGs store the inks inverted; others as they are.
void CmykToBgr(const JSAMPLE* in, std::uint8_t* out, std::int32_t width, bool inverted) {
    for (std::int32_t x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0];
        unsigned m = in[1];
        unsigned y = in[2];
        unsigned k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = static_cast<std::uint8_t>(y * k / 255);
        out[1] = static_cast<std::uint8_t>(m * k / 255);
        out[2] = static_cast<std::uint8_t>(c * k / 255);
    }
}

// What stopped the decoding short of an error from libjpeg.
enum class Stop { None, Changed, Resized, CutShort };

// The work done under the session's setjmp: only plain data lives in these frames, since an
// error from libjpeg jumps over them.
struct CDecodeWork {
    CPictureRows* rows = nullptr;
    JSAMPLE* inks = nullptr;  // one CMYK row
    CPictureHeader header;
    Stop stop = Stop::None;
    bool fullPrecision = true;
};

void ReadHeaderWork(CJpegSession& s, CDecodeWork& work) {
    ReadHeader(s);
    work.header = HeaderOf(s.info);
}

void DecodeWork(CJpegSession& s, CDecodeWork& work) {
    ReadHeader(s);
    jpeg_decompress_struct& info = s.info;
    CPictureRows& rows = *work.rows;
    work.header = HeaderOf(info);
    if (work.header.width != rows.Width() || work.header.height != rows.Height()) {
        work.stop = Stop::Changed;
        return;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    if (info.output_width != info.image_width || info.output_height != info.image_height) {
        work.stop = Stop::Resized;
        return;
    }
    const JDIMENSION height = info.output_height;
    while (info.output_scanline < height) {
        const JDIMENSION y = info.output_scanline;
        const auto row = static_cast<std::int32_t>(y);
        // The last row is always decoded: skipping to the end would leave the rest of the data
        // unread, and a file cut short unnoticed.
        if (rows.Wants(row) || y + 1 == height) {
            JSAMPROW target = cmyk ? work.inks : rows.Row(row);
            if (jpeg_read_scanlines(&info, &target, 1) != 1) {
                work.stop = Stop::CutShort;
                return;
            }
            if (cmyk) {
                CmykToBgr(work.inks, rows.Row(row), rows.Width(), info.saw_Adobe_marker != 0);
            }
            rows.RowDone(row);
        } else {
            JDIMENSION run = 1;
            while (y + run + 1 < height && !rows.Wants(static_cast<std::int32_t>(y + run))) {
                ++run;
            }
            if (jpeg_skip_scanlines(&info, run) != run) {
                work.stop = Stop::CutShort;
                return;
            }
        }
    }
    // Reads on to the end-of-picture marker, so that data the decoder left unused is seen.
    work.fullPrecision = FullPrecision(info);
    jpeg_finish_decompress(&info);
}

// Runs `step` with libjpeg's errors caught; false when libjpeg gave up.
bool Guarded(CJpegSession& s, void (*step)(CJpegSession&, CDecodeWork&), CDecodeWork& work) {
    if (setjmp(s.errors.jump)) {
        return false;
    }
    step(s, work);
    return true;
}

}  // namespace

bool ReadJpegHeader(std::FILE* file, CPictureHeader& header, std::string& error) {
    const std::unique_ptr<CJpegSession> session = NewSession(file);
    if (!session) {
        error = "out of memory";
        return false;
    }
    CDecodeWork work;
    if (!Guarded(*session, ReadHeaderWork, work)) {
        error = Failure(*session);
        return false;
    }
    header = work.header;
    return true;
}

bool DecodeJpeg(std::FILE* file, CPictureRows& rows, std::string& error) {
    const std::unique_ptr<CJpegSession> session = NewSession(file);
    std::vector<JSAMPLE> inks;
    try {
        inks.resize(4 * static_cast<std::size_t>(std::max(rows.Width(), 0)));
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
    if (!session) {
        error = "out of memory";
        return false;
    }
    CDecodeWork work;
    work.rows = &rows;
    work.inks = inks.data();
    if (!Guarded(*session, DecodeWork, work)) {
        error = Failure(*session);
        return false;
    }
    switch (work.stop) {
        case Stop::Changed:
            error = "the file changed while it was read";
            return false;
        case Stop::Resized:
            error = "the picture cannot be decoded at its size";
            return false;
        case Stop::CutShort:
            error = kCutShort;
            return false;
        case Stop::None:
            break;
    }
    return Complete(*session, work.fullPrecision, error);
}
