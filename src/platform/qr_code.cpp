#include "platform/qr_code.h"

#include <qrencode.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace keyin {

std::vector<std::vector<bool>> QrCodeModules(std::string_view text) {
  const std::string data(text);  // the library reads up to a NUL
  if (data.find('\0') != std::string::npos) throw std::runtime_error("a QR code text holds NUL");
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeData(static_cast<int>(data.size()),
                        reinterpret_cast<const unsigned char*>(data.data()), 0, QR_ECLEVEL_M),
      &QRcode_free);
  if (!code) throw std::runtime_error(std::string("no QR code: ") + std::strerror(errno));
  const auto width = static_cast<std::size_t>(code->width);
  std::vector<std::vector<bool>> modules(width, std::vector<bool>(width));
  for (std::size_t y = 0; y < width; ++y) {
    for (std::size_t x = 0; x < width; ++x) modules[y][x] = (code->data[y * width + x] & 1) != 0;
  }
  return modules;
}

}  // namespace keyin
