// QR codes through libqrencode: the address of the exam room on the admission slips.
#pragma once

#include <string_view>
#include <vector>

namespace keyin {

// The modules of a QR code of the text (error correction level M, bytes as they are): rows of
// dark (true) and light modules, without the quiet zone. Throws std::runtime_error for a text
// that no QR code holds.
std::vector<std::vector<bool>> QrCodeModules(std::string_view text);

}  // namespace keyin
