#include "image/Rc6w8r8b10.h"

namespace mrk {

namespace {

uint8_t U8(unsigned v) { return static_cast<uint8_t>(v); }

// The data-dependent rotation amount of a round: (x * (2x + 1)) rotated left by 3.
uint8_t Mix(uint8_t x) { return Rotl8(U8(x * (2u * x + 1u)), 3); }

} // namespace

void Rc6KeySetup(const Rc6Key& key, Rc6Table& S) {
    Rc6Key L = key;
    S[0] = 0x63;
    for (unsigned i = 1; i < S.size(); ++i) S[i] = U8(S[i - 1] + 0xB9);
    uint8_t A = 0, B = 0;
    for (unsigned s = 0; s < 60; ++s) {
        const unsigned i = s % 20, j = s % 10;
        A = S[i] = Rotl8(U8(S[i] + A + B), 3);
        // The count is taken modulo 16 and then capped at 7 by the rotation.
        B = L[j] = Rotl8(U8(L[j] + A + B), U8((A + B) % 16));
    }
}

void Rc6DecryptBlock(const Rc6Table& S, uint32_t in, uint8_t out[4]) {
    uint8_t A = U8(U8(in) - S[18]);
    uint8_t B = U8(in >> 8);
    uint8_t C = U8(U8(in >> 16) - S[19]);
    uint8_t D = U8(in >> 24);
    for (unsigned i = 8; i >= 1; --i) {
        const uint8_t a = A;
        A = D;
        D = C;
        C = B;
        B = a;
        const uint8_t u = Mix(D), t = Mix(B);
        C = Rotr8(U8(C - S[i + 1]), t) ^ u;
        A = Rotr8(U8(A - S[i]), u) ^ t;
    }
    out[0] = A;
    out[1] = U8(B - S[0]);
    out[2] = C;
    out[3] = U8(D - S[1]);
}

uint32_t Rc6EncryptBlock(const Rc6Table& S, const uint8_t in[4]) {
    uint8_t A = in[0];
    uint8_t B = U8(in[1] + S[0]);
    uint8_t C = in[2];
    uint8_t D = U8(in[3] + S[1]);
    for (unsigned i = 1; i <= 8; ++i) {
        // B and D are untouched by a round, so the same amounts undo it.
        const uint8_t u = Mix(D), t = Mix(B);
        A = U8(Rotl8(A ^ t, u) + S[i]);
        C = U8(Rotl8(C ^ u, t) + S[i + 1]);
        const uint8_t a = A;
        A = B;
        B = C;
        C = D;
        D = a;
    }
    A = U8(A + S[18]);
    C = U8(C + S[19]);
    return uint32_t(A) | uint32_t(B) << 8 | uint32_t(C) << 16 | uint32_t(D) << 24;
}

} // namespace mrk
