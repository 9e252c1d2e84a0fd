// libairlink.so: the alarm time's packed decimal bytes.
#include "airlink.h"

#include "Encoding.h"

#define AIRLINK_EXPORT __attribute__((visibility("default")))

extern "C" {

AIRLINK_EXPORT unsigned char Hex2Bcd(unsigned char value) {
    return static_cast<unsigned char>(nimbary::EncodeBcd8(value % 100));
}

AIRLINK_EXPORT unsigned char Bcd2Hex(unsigned char bcd) {
    return static_cast<unsigned char>(nimbary::DecodeBcd8(bcd));
}

}  // extern "C"
