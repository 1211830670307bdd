#include "Pictures.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <gif_lib.h>

#include "Strings.h"

std::string ResourceBytes(const std::string& name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, Widen(name).c_str(), (LPCWSTR)RT_RCDATA);
  if (info == nullptr) return "";
  HGLOBAL loaded = LoadResource(module, info);
  if (loaded == nullptr) return "";
  const void* data = LockResource(loaded);
  DWORD size = SizeofResource(module, info);
  if (data == nullptr || size == 0) return "";
  return std::string(static_cast<const char*>(data), size);
}

// ---- JPEG ----

namespace {
struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegFail(j_common_ptr info) {
  auto* err = reinterpret_cast<JpegError*>(info->err);
  err->mgr.format_message(info, err->message);
  longjmp(err->jump, 1);
}

// Warnings (a truncated file among them) end the decoding too: no half pictures.
void JpegMessage(j_common_ptr info, int level) {
  if (level < 0) JpegFail(info);
}

// Plain C-style decoding: nothing with a destructor lives across setjmp.
bool DecodeJpegRaw(const unsigned char* data, unsigned long size, unsigned char** pixels, int* width, int* height,
                   char* message) {
  jpeg_decompress_struct info;
  JpegError err;
  unsigned char* volatile buffer = nullptr;
  info.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  err.mgr.emit_message = JpegMessage;
  err.message[0] = 0;
  if (setjmp(err.jump)) {
    std::strncpy(message, err.message, JMSG_LENGTH_MAX);
    jpeg_destroy_decompress(&info);
    std::free(buffer);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&info);
  if (info.output_width == 0 || info.output_height == 0 || info.output_width > 8192 || info.output_height > 8192) {
    std::strcpy(err.message, "Unsupported picture size");
    longjmp(err.jump, 1);
  }
  size_t stride = (size_t)info.output_width * 4;
  buffer = static_cast<unsigned char*>(std::malloc(stride * info.output_height));
  if (buffer == nullptr) {
    std::strcpy(err.message, "Out of memory");
    longjmp(err.jump, 1);
  }
  while (info.output_scanline < info.output_height) {
    unsigned char* row = buffer + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  *width = (int)info.output_width;
  *height = (int)info.output_height;
  jpeg_destroy_decompress(&info);
  *pixels = buffer;
  return true;
}
}  // namespace

bool DecodeJpeg(const std::string& bytes, TBitmap& out, std::string* error) {
  out.Clear();
  if (bytes.empty()) {
    if (error) *error = "Empty picture data";
    return false;
  }
  unsigned char* pixels = nullptr;
  int width = 0, height = 0;
  char message[JMSG_LENGTH_MAX] = {};
  if (!DecodeJpegRaw(reinterpret_cast<const unsigned char*>(bytes.data()), (unsigned long)bytes.size(), &pixels,
                     &width, &height, message)) {
    if (error) *error = message[0] ? message : "JPEG error";
    return false;
  }
  out.SetSize(width, height);
  if (out.Empty()) {
    std::free(pixels);
    if (error) *error = "Out of memory";
    return false;
  }
  std::memcpy(out.Bits(), pixels, (size_t)width * height * 4);
  std::free(pixels);
  return true;
}

bool LoadJpegResource(const std::string& name, TBitmap& out) { return DecodeJpeg(ResourceBytes(name), out); }

// ---- GIF ----

namespace {
struct GifSource {
  const std::string* bytes;
  size_t offset;
};

int ReadGif(GifFileType* gif, GifByteType* buffer, int length) {
  auto* source = static_cast<GifSource*>(gif->UserData);
  size_t left = source->bytes->size() - source->offset;
  size_t n = std::min<size_t>(left, (size_t)std::max(0, length));
  std::memcpy(buffer, source->bytes->data() + source->offset, n);
  source->offset += n;
  return (int)n;
}

uint32_t ToBgra(const GifColorType& c) { return (uint32_t)c.Blue | ((uint32_t)c.Green << 8) | ((uint32_t)c.Red << 16); }

int LoopCountOf(const ExtensionBlock* blocks, int count) {
  for (int i = 0; i + 1 < count; ++i) {
    const ExtensionBlock& app = blocks[i];
    if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount >= 11 &&
        std::memcmp(app.Bytes, "NETSCAPE2.0", 11) == 0) {
      const ExtensionBlock& sub = blocks[i + 1];
      if (sub.Function == CONTINUE_EXT_FUNC_CODE && sub.ByteCount >= 3 && sub.Bytes[0] == 1)
        return sub.Bytes[1] | (sub.Bytes[2] << 8);
    }
  }
  return -1;
}
}  // namespace

void TGifImage::Clear() {
  frames_.clear();
  delays_.clear();
  width_ = height_ = 0;
  loopCount_ = -1;
}

bool TGifImage::LoadFromBytes(const std::string& bytes, std::string* error) {
  Clear();
  GifSource source{&bytes, 0};
  int code = 0;
  GifFileType* gif = DGifOpen(&source, ReadGif, &code);
  if (gif == nullptr) {
    if (error) *error = GifErrorString(code) ? GifErrorString(code) : "GIF error";
    return false;
  }
  auto fail = [&](const char* why) {
    if (error) *error = why;
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
    Clear();
    return false;
  };
  if (DGifSlurp(gif) != GIF_OK) {
    const char* text = GifErrorString(gif->Error);
    return fail(text ? text : "GIF error");
  }
  int w = gif->SWidth, h = gif->SHeight;
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096 || gif->ImageCount <= 0) return fail("Unsupported picture size");

  uint32_t background = 0xFFFFFF;
  if (gif->SColorMap != nullptr && gif->SBackGroundColor < gif->SColorMap->ColorCount)
    background = ToBgra(gif->SColorMap->Colors[gif->SBackGroundColor]);
  std::vector<uint32_t> canvas((size_t)w * h, background);
  std::vector<uint32_t> saved;
  for (int f = 0; f < gif->ImageCount; ++f) {
    const SavedImage& image = gif->SavedImages[f];
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    DGifSavedExtensionToGCB(gif, f, &gcb);
    const ColorMapObject* map = image.ImageDesc.ColorMap != nullptr ? image.ImageDesc.ColorMap : gif->SColorMap;
    if (map == nullptr || image.RasterBits == nullptr) return fail("GIF frame without colours");
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;
    const GifImageDesc& d = image.ImageDesc;
    for (int y = 0; y < d.Height; ++y) {
      int cy = d.Top + y;
      if (cy < 0 || cy >= h) continue;
      for (int x = 0; x < d.Width; ++x) {
        int cx = d.Left + x;
        if (cx < 0 || cx >= w) continue;
        int index = image.RasterBits[(size_t)y * d.Width + x];
        if (index == gcb.TransparentColor || index >= map->ColorCount) continue;
        canvas[(size_t)cy * w + cx] = ToBgra(map->Colors[index]);
      }
    }
    TBitmap frame(w, h);
    if (frame.Empty()) return fail("Out of memory");
    std::memcpy(frame.Bits(), canvas.data(), canvas.size() * 4);
    frames_.push_back(std::move(frame));
    delays_.push_back(gcb.DelayTime > 0 ? gcb.DelayTime * 10 : 100);
    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      for (int y = std::max(0, d.Top); y < std::min(h, d.Top + d.Height); ++y)
        for (int x = std::max(0, d.Left); x < std::min(w, d.Left + d.Width); ++x) canvas[(size_t)y * w + x] = background;
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS && !saved.empty()) {
      canvas = saved;
    }
  }
  loopCount_ = -1;
  for (int f = 0; f < gif->ImageCount && loopCount_ < 0; ++f)
    loopCount_ = LoopCountOf(gif->SavedImages[f].ExtensionBlocks, gif->SavedImages[f].ExtensionBlockCount);
  if (loopCount_ < 0) loopCount_ = LoopCountOf(gif->ExtensionBlocks, gif->ExtensionBlockCount);
  width_ = w;
  height_ = h;
  int ignored = 0;
  DGifCloseFile(gif, &ignored);
  return true;
}

bool TGifImage::LoadFromResource(const std::string& name) { return LoadFromBytes(ResourceBytes(name)); }

// ---- TAnimatedImage ----

TAnimatedImage::TAnimatedImage(TControl* parent) : TImage(parent) {
  timer_.OnTimer = [this](TObject*) { Advance(); };
}

void TAnimatedImage::SetAnimation(TGifImage&& gif) {
  Stop();
  gif_ = std::move(gif);
  frame_ = 0;
  loopsDone_ = 0;
  if (gif_.FrameCount() > 0) ShowFrame(0);
}

void TAnimatedImage::ShowFrame(int index) {
  if (index < 0 || index >= gif_.FrameCount()) return;
  frame_ = index;
  AssignPicture(gif_.Frame(index));
}

void TAnimatedImage::Play() {
  if (gif_.FrameCount() < 2) return;
  loopsDone_ = 0;
  timer_.SetInterval(gif_.Delay(frame_));
  timer_.SetEnabled(true);
}

void TAnimatedImage::Stop() { timer_.SetEnabled(false); }

void TAnimatedImage::Advance() {
  int next = frame_ + 1;
  if (next >= gif_.FrameCount()) {
    ++loopsDone_;
    // The loop extension counts the repeats after the first play; 0 repeats for ever.
    bool again = gif_.LoopCount() == 0 || (gif_.LoopCount() > 0 && loopsDone_ <= gif_.LoopCount());
    if (!again) {
      Stop();
      return;
    }
    next = 0;
  }
  ShowFrame(next);
  timer_.SetInterval(gif_.Delay(next));
}
