// Decipher of the face detection library's model files.
//
// An enciphered file starts with a 48-byte header (signature 0x80 0x81 0x82 0x83, a mode byte,
// the key-material length, 32 bytes of key material) followed by the payload: AES blocks in
// electronic-codebook mode with PKCS#7 padding (block mode, 1) or bytes combined with a 32-byte
// key by exclusive-or (plain mode, 2). Messages go to standard output.
#pragma once

#include "zq_face_detect_export.h"

extern "C" {

// Deciphers the whole file in |buffer| in place: on success the plain bytes start at |buffer|
// and their count is stored in |plainLength|. Returns 1 on success, -1 for a null buffer or a
// zero length, -2 for an invalid header or a payload too short to hold a block, -3 when the key
// cannot be derived or used. On failure the buffer keeps its bytes.
ZQ_FACE_DETECT_API int block_cipher_decrypt(unsigned char* buffer, unsigned int length,
                                            unsigned int* plainLength);

// The plain-mode decipher of a whole file (header included): 1 on success, -1 for a null
// argument, -2 when the file is not longer than its header.
ZQ_FACE_DETECT_API int plain_cipher_decrypt(unsigned char* buffer, unsigned int length,
                                            unsigned int* plainLength);

// Prints the cipher's version line and returns what the print returns.
ZQ_FACE_DETECT_API int print_cipher_version();

}  // extern "C"
