// SPDX-License-Identifier: GPL-3.0-or-later
// Encodings a peer may send as its share that must give no key: the CPace
// draft's invalid points for ristretto255, a choice of RFC 9496's invalid
// encodings (its appendix of bad encodings, one or two of each kind), and a
// valid share with the top bit set.
#pragma once

// The draft's Ya with its top bit set: libsodium 1.0.18 decodes it as Ya.
constexpr char kYaWithTopBit[] = "d6bac480f2c386c394efc7c47adb9925dcd2630b64f240c50f8d0eec482b91d7";

constexpr const char* kRefusedShares[] = {
    "2b3c6b8c4f3800e7aef6864025b4ed79bd599117e427c41bd47d93d654b4a51c", // draft: invalid Y1
    "0000000000000000000000000000000000000000000000000000000000000000", // draft: the identity
    "edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", // p itself: not canonical
    "f3ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", // p + 6: not canonical
    "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", // 2^255 - 1: not canonical
    "0100000000000000000000000000000000000000000000000000000000000000", // a negative field element
    "ed57ffd8c914fb201471d1c3d245ce3c746fcbe63a3679d51b6a516ebebe0e20", // a negative field element
    "26948d35ca62e643e26a83177332e6b6afeb9d08e4268b650f1f5bbd8d81d371", // x^2 not a square
    "3eb858e78f5a7254d8c9731174a94f76755fd3941c0ac93735c07ba14579630e", // xy negative
    "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", // s = -1, so y = 0
    kYaWithTopBit,
};
