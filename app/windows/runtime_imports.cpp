// What the C runtime's libraries would otherwise bring, kept to calls into
// Windows' own DLLs: msvcrt's maths, whose import library provides only the
// import slots (__imp_sinf, ...), no call thunks; pow is among them because
// MinGW's header computes powf through it (and so powf itself is not).
// The program has no thread_local variable (it runs on one thread): GCC's
// emulation of one would need libgcc's __emutls_get_address and with it the
// C runtime's thread start-up, so the link fails if one appears.
extern "C" {
extern float (*__imp_sinf)(float);
extern float (*__imp_cosf)(float);
extern float (*__imp_sqrtf)(float);
extern float (*__imp_floorf)(float);
extern double (*__imp_pow)(double, double);

float sinf(float x) {
    return __imp_sinf(x);
}
float cosf(float x) {
    return __imp_cosf(x);
}
float sqrtf(float x) {
    return __imp_sqrtf(x);
}
float floorf(float x) {
    return __imp_floorf(x);
}
double pow(double x, double y) {
    return __imp_pow(x, y);
}
}
