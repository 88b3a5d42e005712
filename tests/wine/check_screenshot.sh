#!/usr/bin/env bash
# Checks that a screenshot shows the show's grid of cells in the main
# window's client area: every pixel a grey level (red = green = blue), every
# cell's inside one flat shade, black and brighter pixels, cells of more than
# one shade, and the cells' one-pixel borders between the columns in a single
# grey (the system's window frame colour).
# Wine repaints the cells one window at a time, so a picture can catch a
# repaint half done: a picture may hold up to `torn_limit` cells caught
# mid-repaint (not flat; the borders beside them are not judged), and the
# check passes when one of the last pictures taken (SHOT.png, then
# SHOT.1.png, SHOT.2.png ... where they exist) passes.
# Usage: check_screenshot.sh SHOT.png COLS ROWS   (geometry in SHOT.geometry)
set -euo pipefail
# One thread: the pictures are small, and the measurements must not depend on
# how ImageMagick's threads share a busy machine.
export MAGICK_THREAD_LIMIT=1

newest=$1
cols=$2
rows=$3
if [[ ! -f $newest || ! -f ${newest%.png}.geometry ]]; then
    echo "no screenshot $newest: wine.full_run takes it" >&2
    exit 77
fi

# A repaint in flight covers a few cells; a fault in the painting would show
# in many.
torn_limit=2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check_one() {
    local shot=$1 geometry=${1%.png}.geometry x y width height
    read -r x y width height <"$geometry"

    # The grid's layout in the client area, as the cell grid computes it.
    cw=$((width / cols))
    ch=$((height / rows))
    gx=$(((width % cols) / 2))
    gy=$(((height % rows) / 2))
    gw=$((cols * cw))
    gh=$((rows * ch))

    failures=()

    convert "$shot" -crop "${width}x${height}+${x}+${y}" +repage -separate "$work/channel-%d.png"
    for other in 1 2; do
        differing=$(compare -metric AE "$work/channel-0.png" "$work/channel-$other.png" null: 2>&1 || true)
        [[ $differing == 0 ]] || failures+=("$differing pixels are not grey (channel 0 vs $other)")
    done
    extremes=$(convert "$work/channel-0.png" -format '%[fx:round(255*minima)] %[fx:round(255*maxima)]' info:)
    read -r darkest brightest <<<"$extremes"
    ((darkest == 0)) || failures+=("no black pixel")
    ((brightest > 0)) || failures+=("no pixel brighter than black")

    convert "$work/channel-0.png" -crop "${gw}x${gh}+${gx}+${gy}" +repage "$work/grid.png"

    # A cell's inside, 6 pixels in from its rectangle: beyond its border, and
    # beyond the window bob's 4 pixels should the window have moved meanwhile.
    # It is flat when its darkest and brightest pixels agree (ImageMagick's
    # standard deviation of a flat area can come out as "nan").
    cells=$(convert "$work/grid.png" -crop "${cw}x${ch}" +repage -shave 6x6 \
        -format '%[fx:round(255*(maxima-minima))] %[fx:round(255*mean)]\n' info:)
    cell_count=$(wc -l <<<"$cells")
    ((cell_count == cols * rows)) || failures+=("$cell_count cells cut out, expected $((cols * rows))")
    uneven=$(awk '$1 != 0' <<<"$cells" | wc -l)
    ((uneven <= torn_limit)) || failures+=("$uneven cells are not one flat shade")
    shades=$(awk '{print $2}' <<<"$cells" | sort -n | uniq)
    (($(wc -l <<<"$shades") >= 2)) || failures+=("all cells have the same shade")

    # Between two columns, once per row at its middle (the bob moves rows only):
    # a cell's border, or the shade of a neighbour that painted over it (cells
    # do not clip their siblings). Every border seen has the same grey.
    samples=""
    for ((r = 0; r < rows; ++r)); do
        for ((c = 1; c < cols; ++c)); do
            samples+="%[fx:round(255*p{$((c * cw)),$((r * ch + ch / 2))})] "
        done
    done
    border_check=$(convert "$work/grid.png" -format "$samples" info: |
        awk -v cols="$cols" -v cells="$(awk '{print $2}' <<<"$cells" | tr '\n' ' ')" \
            -v spread="$(awk '{print $1}' <<<"$cells" | tr '\n' ' ')" '{
            split(cells, shade, " "); split(spread, torn, " ")
            for (i = 1; i <= NF; ++i) {
                r = int((i - 1) / (cols - 1)); c = (i - 1) % (cols - 1) + 1
                if (torn[r * cols + c] != 0 || torn[r * cols + c + 1] != 0) continue
                left = shade[r * cols + c]; right = shade[r * cols + c + 1]
                if ($i != left && $i != right) { seen[$i] = 1; ++lines }
            }
            for (colour in seen) colours = colours " " colour
            print lines + 0, colours
        }')
    read -r border_count border_colours <<<"$border_check"
    ((border_count > 0)) || failures+=("no border between the columns")
    [[ $border_colours =~ ^[0-9]+$ ]] || failures+=("the borders are not one grey: $border_colours")

    if ((${#failures[@]} > 0)); then
        echo "$shot:" >&2
        printf '  %s\n' "${failures[@]}" >&2
        return 1
    fi
    echo "$shot: $cols x $rows cells of ${cw} x ${ch} at ($((x + gx)), $((y + gy))), $(wc -l <<<"$shades") shades from $(head -n 1 <<<"$shades") to $(tail -n 1 <<<"$shades"), $border_count borders in grey $border_colours"
}

stem=${newest%.png}
for shot in "$newest" "$stem".[0-9]*.png; do
    [[ -f $shot ]] || continue
    check_one "$shot" && exit 0
done
exit 1
