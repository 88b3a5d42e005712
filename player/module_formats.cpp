#include "player/module_formats.h"
#include "player/it_loader.h"
#include "player/load_data.h"
#include "player/mod_loader.h"
#include "player/s3m_loader.h"
#include "player/xm_loader.h"
#include <cstring>

namespace {

// One format the player knows: whether data looks like it, and its loader,
// which fills `format` once it has recognised the data.
struct ModuleFormat {
    bool (*probe)(const std::uint8_t* data, std::size_t length);
    Module* (*load)(const std::uint8_t* data, std::size_t length, char* load_message,
                    LoadedFormat& format);
};

void set_format(LoadedFormat& format, const char* name, std::uint64_t announced,
                std::size_t length) {
    std::memset(format.name, 0, sizeof format.name);
    std::strncpy(format.name, name, sizeof format.name - 1);
    format.missing_bytes = announced > length ? announced - length : 0;
}

bool xm_probe(const std::uint8_t* data, std::size_t length) {
    return has_signature(LoadData{data, length}, 0, "Extended Module:");
}

// A loader that reports the length its headers announce.
using AnnouncingLoad = Module* (*)(const std::uint8_t*, std::size_t, char*, std::uint64_t&);

template <AnnouncingLoad load, const char* name>
Module* load_announcing(const std::uint8_t* data, std::size_t length, char* load_message,
                        LoadedFormat& format) {
    std::uint64_t announced = 0;
    Module* module = load(data, length, load_message, announced);
    set_format(format, name, announced, length);
    return module;
}

constexpr char xm_name[] = "XM";
constexpr char s3m_name[] = "S3M";
constexpr char it_name[] = "IT";

bool mod_signature_probe(const std::uint8_t* data, std::size_t length) {
    ModLayout layout{};
    return mod_signature_layout(data, length, layout);
}

Module* load_mod(const std::uint8_t* data, std::size_t length, const ModLayout& layout,
                 const char* name, LoadedFormat& format) {
    set_format(format, name, mod_announced_bytes(data, length, layout), length);
    return mod_load(data, length, layout);
}

Module* load_signed_mod(const std::uint8_t* data, std::size_t length, char*, LoadedFormat& format) {
    ModLayout layout{};
    mod_signature_layout(data, length, layout);
    char name[16] = "MOD ";
    std::memcpy(name + 4, data + mod_signature_offset, 4);
    return load_mod(data, length, layout, name, format);
}

Module* load_15_sample_mod(const std::uint8_t* data, std::size_t length, char*,
                           LoadedFormat& format) {
    return load_mod(data, length, ModLayout{4, 15, false}, "MOD 15 samples", format);
}

// In the order of trust: XM, S3M and IT carry their signatures at the start,
// MODs far into the data, and the oldest MODs none at all.
constexpr ModuleFormat module_formats[] = {
    {xm_probe, load_announcing<xm_load, xm_name>},
    {s3m_signature, load_announcing<s3m_load, s3m_name>},
    {it_signature, load_announcing<it_load, it_name>},
    {mod_signature_probe, load_signed_mod},
    {mod_looks_like_15_samples, load_15_sample_mod},
};

} // namespace

Module* module_load_any(const std::uint8_t* data, std::size_t length,
                        char load_message[load_message_size], LoadedFormat& format) {
    format = LoadedFormat{};
    for (const ModuleFormat& entry : module_formats) {
        if (entry.probe(data, length)) return entry.load(data, length, load_message, format);
    }
    set_message(load_message, "not a module: no MOD, S3M, XM or IT signature");
    return nullptr;
}
