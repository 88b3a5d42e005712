// The contact sheet: small labelled pictures of the whole screen taken at a
// steady pace through the show and laid out in a grid. However long the run,
// the sheet keeps at most `contact_sheet_capacity` of them: when it is full
// it drops every other one and takes them half as often from then on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t contact_sheet_capacity = 48;
// Ticks between two thumbnails at the start; a whole show ends up at 100.
constexpr std::uint64_t contact_sheet_first_interval = 25;
constexpr int contact_sheet_columns = 6;
constexpr int thumbnail_width = 240;

struct Thumbnail {
    std::uint64_t tick;
    std::string label;
    std::vector<std::uint32_t> pixels; // thumbnail_width × height
};

struct ContactSheet {
    int screen_width;
    int screen_height;
    int thumbnail_height;
    std::uint64_t interval; // ticks between two thumbnails
    std::vector<Thumbnail> thumbnails;
};

void contact_sheet_begin(ContactSheet& sheet, int screen_width, int screen_height,
                         std::uint64_t interval);
// Whether the sheet takes a thumbnail at this tick.
bool contact_sheet_wants(const ContactSheet& sheet, std::uint64_t tick);
// Adds a thumbnail of the screen (0x00RRGGBB, `stride` pixels per row) at a
// tick the sheet asked for.
void contact_sheet_add(ContactSheet& sheet, std::uint64_t tick, const std::uint32_t* screen,
                       int stride, const std::string& label);
// Adds the last picture of a run, whatever its tick; it is kept beyond the
// capacity.
void contact_sheet_add_last(ContactSheet& sheet, std::uint64_t tick, const std::uint32_t* screen,
                            int stride, const std::string& label);
// The sheet as one picture: rows of thumbnails, each with its label beneath.
std::vector<std::uint32_t> contact_sheet_compose(const ContactSheet& sheet, int* width,
                                                 int* height);
