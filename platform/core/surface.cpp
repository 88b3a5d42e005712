// The pixels of top-level windows and their presentation to the host.
#include "platform/core/surface.h"

#include "platform/core/window_tree.h"
#include "platform/host.h"
#include <algorithm>

namespace {

// Beyond this many pieces the change is handed over as its bounding rectangle.
constexpr std::size_t max_dirty_parts = 1024;

void mark_dirty(Surface& surface, const RECT& area, std::uint32_t fill) {
    surface.dirty = rect_union(surface.dirty, area);
    if (surface.dirty_parts.size() == max_dirty_parts) {
        surface.dirty_parts.assign(1, surface.dirty);
        surface.dirty_fills.assign(1, host_mixed_part);
    }
    surface.dirty_parts.push_back(area);
    surface.dirty_fills.push_back(fill);
}

void fill_pixels(Surface& surface, const RECT& area, std::uint32_t rgb) {
    fill_pixel_rows(surface.pixels.data() + std::size_t(area.top) * std::size_t(surface.width) +
                        area.left,
                    std::size_t(surface.width) * sizeof rgb, area.right - area.left,
                    area.bottom - area.top, rgb);
}

// Fills `area` minus `holes[first..]`, splitting around each hole it meets.
void fill_around(Surface& surface, const RECT& area, const std::vector<RECT>& holes,
                 std::size_t first, std::uint32_t rgb) {
    if (rect_empty(area)) return;
    if (first == holes.size()) {
        fill_pixels(surface, area, rgb);
        return;
    }
    RECT hole = rect_intersection(holes[first], area);
    if (rect_empty(hole)) {
        fill_around(surface, area, holes, first + 1, rgb);
        return;
    }
    fill_around(surface, RECT{area.left, area.top, area.right, hole.top}, holes, first + 1, rgb);
    fill_around(surface, RECT{area.left, hole.bottom, area.right, area.bottom}, holes, first + 1,
                rgb);
    fill_around(surface, RECT{area.left, hole.top, hole.left, hole.bottom}, holes, first + 1, rgb);
    fill_around(surface, RECT{hole.right, hole.top, area.right, hole.bottom}, holes, first + 1,
                rgb);
}

void present(Window* top_level) {
    Surface& surface = *top_level->surface;
    host_present(HostWindowImage{top_level->handle, top_level->rect,
                                 top_level->visible && !top_level->minimized, top_level->minimized,
                                 surface.pixels.data(), surface.width, surface.height,
                                 surface.width, surface.dirty, surface.dirty_parts.data(),
                                 int(surface.dirty_parts.size()), surface.dirty_fills.data()});
    surface.dirty = RECT{};
    surface.dirty_parts.clear();
    surface.dirty_fills.clear();
    surface.placement_changed = false;
}

} // namespace

void surface_fill(Window* writer, RECT area, const std::vector<RECT>& holes, std::uint32_t rgb) {
    Window* top_level = top_level_of(writer);
    Surface& surface = *top_level->surface;
    area = rect_intersection(area, RECT{0, 0, surface.width, surface.height});
    if (rect_empty(area)) return;
    fill_around(surface, area, holes, 0, rgb);
    mark_dirty(surface, area, holes.empty() ? rgb : host_mixed_part);
    for_each_in_tree(top_level, [&](Window* member) {
        if (member != writer && member->shows_color && rects_overlap(member->shown_area, area))
            member->shows_color = false;
    });
}

void surface_mark_drawn(Window* writer, RECT area) {
    Surface& surface = *top_level_of(writer)->surface;
    area = rect_intersection(area, RECT{0, 0, surface.width, surface.height});
    if (!rect_empty(area)) mark_dirty(surface, area, host_mixed_part);
}

void surface_fit(Window* top_level) {
    Surface& surface = *top_level->surface;
    int width = window_width(top_level);
    int height = window_height(top_level);
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height), 0);
    for (int y = 0; y < std::min(height, surface.height); ++y) {
        const std::uint32_t* from = surface.pixels.data() + std::size_t(y) * surface.width;
        std::copy(from, from + std::min(width, surface.width),
                  pixels.data() + std::size_t(y) * std::size_t(width));
    }
    surface.pixels = std::move(pixels);
    surface.width = width;
    surface.height = height;
    surface.dirty = RECT{};
    surface.dirty_parts.clear();
    surface.dirty_fills.clear();
    mark_dirty(surface, RECT{0, 0, width, height}, host_mixed_part);
    // The host may still hold the old pixels: hand it the new ones at once.
    present(top_level);
}

void present_changed_windows(ThreadQueue& queue) {
    for (Window* top_level : top_level_windows()) {
        Surface& surface = *top_level->surface;
        if (top_level->queue == &queue && (!rect_empty(surface.dirty) || surface.placement_changed))
            present(top_level);
    }
}
