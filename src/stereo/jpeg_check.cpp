#include "stereo/jpeg_check.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs the declarations of <cstdio> before it.
#include <jpeglib.h>

namespace q3d {
namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void StopWithMessage(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Level -1 is a warning, which libjpeg gives for damaged data; the others are traces.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) StopWithMessage(info);
}

void Silent(j_common_ptr) {}

}  // namespace

std::string JpegDataProblem(std::span<const uint8_t> file) {
  // Only plain C objects live here: longjmp skips no destructor.
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = &StopWithMessage;
  errors.pub.emit_message = &OnMessage;
  errors.pub.output_message = &Silent;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return errors.message[0] ? errors.message : "damaged data";
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  // An eighth of the size: every coefficient is still decoded, most of the pixels are not.
  info.scale_num = 1;
  info.scale_denom = 8;
  info.dct_method = JDCT_IFAST;
  info.do_fancy_upsampling = FALSE;
  jpeg_start_decompress(&info);
  const JDIMENSION rowBytes = info.output_width * static_cast<JDIMENSION>(info.output_components);
  JSAMPARRAY row =
      (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, rowBytes, 1);
  while (info.output_scanline < info.output_height) jpeg_read_scanlines(&info, row, 1);
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return {};
}

}  // namespace q3d
