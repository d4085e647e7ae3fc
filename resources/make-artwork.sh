#!/bin/bash
# make-artwork.sh -- draws the pictures of 声韵笺 into this directory.
#
#   background.bmp  1024x768, 24-bit BMP: rice paper with faint ruled columns,
#                   a misty ink-wash range and a red seal; fades to pale khaki
#                   (223,219,148) at the bottom edge.
#   panel.jpg       802x680 JPEG: horizontal paper/ink bands for the toolbar
#                   (it is squashed to about 945x104 on screen).
#   author.jpg      640x480 JPEG: the "作者" card.
#   icon.ico        one 139x139 image, 16-colour (4 bits per pixel) icon.
#
# Needs ImageMagick 6 (convert, identify), fonts-noto-cjk and awk; no network.
# Everything random is seeded, so re-running gives the same pictures.
# Usage: resources/make-artwork.sh   (writes next to this script)
#        NO_RUN=1; source make-artwork.sh; make_icon   (one picture only)
#
# Drawing commands are passed inline (-draw "$(cat file)") because Debian's
# ImageMagick policy forbids reading "@file" arguments.

set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

SERIF_BOLD="Noto-Serif-CJK-SC-Bold"
SERIF="Noto-Serif-CJK-SC"
FONTS=$(convert -list font)
for f in "$SERIF_BOLD" "$SERIF"; do
    if ! grep -q "Font: $f\$" <<< "$FONTS"; then
        echo "make-artwork.sh: font $f not found (install fonts-noto-cjk)" >&2
        exit 1
    fi
done

# Colours
PAPER="rgb(246,240,224)"        # warm rice paper
KHAKI="rgb(223,219,148)"        # must be the exact bottom colour of the background
SEAL_RED="rgb(178,38,30)"       # cinnabar seal paste
INK="rgb(52,56,58)"             # ink, slightly cool

# ---------------------------------------------------------------------------
# Small deterministic random generator for awk (Park-Miller), identical in
# mawk and gawk because all arithmetic stays below 2^53.
AWK_RNG='
function rnd() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
'

# paper W H SEED OUT -- rice paper: base colour, grain, cloudy mottling, fibres
paper() {
    local w=$1 h=$2 s=$3 out=$4
    # fine grain
    convert -size "${w}x${h}" xc:gray50 -seed "$s" +noise Gaussian \
        -colorspace gray -blur 0x0.5 -auto-level +level 47%,53% "$TMP/grain.png"
    # large soft clouds
    convert -size "$((w / 24 + 2))x$((h / 24 + 2))" xc:gray50 -seed "$((s + 1))" \
        +noise Random -colorspace gray -resize "${w}x${h}!" -blur 0x18 \
        -auto-level +level 48.8%,51.2% "$TMP/cloud.png"
    # fibres: short faint curved strokes, some lighter, some darker
    awk -v w="$w" -v h="$h" -v seed="$((s * 7 + 3))" "$AWK_RNG"'
    BEGIN {
        n = int(w * h / 5200)
        for (i = 0; i < n; i++) {
            x = rnd() * w; y = rnd() * h
            len = 6 + rnd() * 26; a = rnd() * 6.2832
            ex = x + cos(a) * len; ey = y + sin(a) * len
            cx = (x + ex) / 2 + (rnd() - 0.5) * len * 0.6
            cy = (y + ey) / 2 + (rnd() - 0.5) * len * 0.6
            if (rnd() < 0.6) col = "rgba(150,128,90,0.11)"; else col = "rgba(255,255,250,0.5)"
            printf "stroke %s path \"M %.1f,%.1f Q %.1f,%.1f %.1f,%.1f\"\n", col, x, y, cx, cy, ex, ey
        }
    }' > "$TMP/fibres.mvg"
    convert -size "${w}x${h}" xc:none -fill none -strokewidth 0.8 \
        -draw "$(cat "$TMP/fibres.mvg")" -blur 0x0.4 "$TMP/fibres.png"
    convert -size "${w}x${h}" xc:"$PAPER" \
        "$TMP/cloud.png" -compose HardLight -composite \
        "$TMP/grain.png" -compose HardLight -composite \
        "$TMP/fibres.png" -compose Over -composite \
        -alpha off "$out"
}

# mountains W H SEED OUT -- misty ink-wash ranges as a grey image (white =
# no ink, darker = more ink); far ranges pale and high, near ranges darker,
# each one dissolving into mist at its foot.
mountains() {
    local w=$1 h=$2 s=$3 out=$4
    convert -size "${w}x${h}" xc:white "$TMP/mt.png"
    local layer base peak shade D
    for layer in 0 1 2; do
        base=$(( h * (50 + layer * 16) / 100 ))
        peak=$(( h * (42 - layer * 9) / 100 ))
        shade=$(( 72 - layer * 18 ))     # % of white where the ink is densest
        awk -v w="$w" -v h="$h" -v base="$base" -v peak="$peak" -v seed="$((s + layer * 101))" "$AWK_RNG"'
        BEGIN {
            # fractal ridge by midpoint displacement ...
            n = 256; r[0] = 0; r[n] = 0; step = n; amp = peak * 0.35
            while (step > 1) {
                half = step / 2
                for (i = half; i < n; i += step) r[i] = (r[i - half] + r[i + half]) / 2 + (rnd() - 0.5) * amp
                amp *= 0.58; step = half
            }
            # ... on top of a few pointed peaks
            nb = 3 + int(rnd() * 3)
            for (i = 0; i < nb; i++) {
                c[i] = (i + 0.15 + rnd() * 0.7) * w / nb
                hh[i] = peak * (0.4 + rnd() * 0.6)
                ww[i] = w / nb * (0.18 + rnd() * 0.3)
            }
            printf "polygon 0,%d", h
            for (j = 0; j <= n; j++) {
                x = j * w / n
                y = base - r[j]
                for (i = 0; i < nb; i++) { d = (x - c[i]) / ww[i]; if (d < 0) d = -d; y -= hh[i] * exp(-d ^ 1.5) }
                printf " %.1f,%.1f", x, y
            }
            printf " %d,%d\n", w, h
        }' > "$TMP/ridge.mvg"
        convert -size "${w}x${h}" xc:black -fill white -draw "$(cat "$TMP/ridge.mvg")" \
            -blur 0x0.7 "$TMP/mask.png"
        # a band just below the ridge, fading downwards
        D=$(( h / 5 ))
        convert "$TMP/mask.png" \( +clone -roll +0+$D -blur 0x$((D / 2)) \) \
            -compose MinusSrc -composite "$TMP/band.png"
        # brush texture: short, nearly vertical streaks
        convert -size "${w}x${h}" xc:gray50 -seed $((s + layer)) +noise Random -colorspace gray \
            -blur 0x1 -motion-blur 0x6+100 -auto-level +level 68%,100% "$TMP/tex.png"
        # density: faint body + strong band, times texture, fading into mist below
        convert "$TMP/mask.png" -evaluate multiply 0.3 "$TMP/band.png" -compose Plus -composite \
            "$TMP/tex.png" -compose Multiply -composite \
            \( -size "${w}x${h}" xc: -sparse-color Barycentric \
               "0,$((base - peak)) white 0,$((base + h / 8)) black" \) -compose Multiply -composite \
            "$TMP/density.png"
        convert "$TMP/density.png" -negate +level "${shade}%,100%" "$TMP/paint.png"
        convert "$TMP/mt.png" "$TMP/paint.png" -compose Multiply -composite "$TMP/mt.png"
    done
    convert "$TMP/mt.png" -blur 0x0.6 "$out"
}

# fade_edges IN SIDE BOTTOM OUT -- fade a grey ink image to white at its left
# and right edges (over SIDE of its width) and at its bottom (over BOTTOM of
# its height)
fade_edges() {
    local w h sx sy
    w=$(identify -format %w "$1"); h=$(identify -format %h "$1")
    sx=$(awk -v w="$w" -v f="$2" 'BEGIN { printf "%d", w * f + 1 }')
    sy=$(awk -v h="$h" -v f="$3" 'BEGIN { printf "%d", h * f + 1 }')
    convert \( "$1" -fill white -colorize 100% \) "$1" \
        \( -size "${w}x${h}" xc: -sparse-color Barycentric "0,0 black $sx,0 white" -clamp \
           \( -size "${w}x${h}" xc: -sparse-color Barycentric "$((w - 1 - sx)),0 white $((w - 1)),0 black" -clamp \) \
           -compose Multiply -composite \
           \( -size "${w}x${h}" xc: -sparse-color Barycentric "0,$((h - 1 - sy)) white 0,$((h - 1)) black" -clamp \) \
           -compose Multiply -composite \) \
        -compose Over -composite "$4"
}

# seal W H TEXT POINTSIZE SEED OUT [WEAR] -- cinnabar seal with white (cut-out)
# characters, slightly worn and with a ragged rim; transparent outside.
# TEXT may contain \n.  WEAR 0 gives a clean seal.
seal() {
    local w=$1 h=$2 text=$3 pt=$4 s=$5 out=$6 wear=${7:-1}
    local r=$(( (w < h ? w : h) / 16 + 1 ))
    convert -size "${w}x${h}" xc:black -fill white \
        -draw "roundrectangle 1,1 $((w - 2)),$((h - 2)) $r,$r" "$TMP/seal-shape.png"
    convert -size "${w}x${h}" xc:black -fill white -font "$SERIF_BOLD" -pointsize "$pt" \
        -gravity center -interline-spacing "-$((pt / 5))" -annotate +0+0 "$text" \
        "$TMP/seal-text.png"
    # ink coverage = shape minus characters
    convert "$TMP/seal-shape.png" "$TMP/seal-text.png" -compose MinusSrc -composite \
        "$TMP/seal-cover.png"
    if [ "$wear" = 1 ]; then
        # ragged rim: erode the shape where a soft noise is high
        convert -size "${w}x${h}" xc:gray50 -seed "$s" +noise Random -colorspace gray \
            -blur 0x0.8 -auto-level "$TMP/seal-noise.png"
        convert "$TMP/seal-shape.png" -blur 0x1.2 "$TMP/seal-noise.png" \
            -fx "u + (v - 0.5) * 0.7" -threshold 50% -blur 0x0.4 "$TMP/seal-rim.png"
        # a few specks where the paste did not take
        convert "$TMP/seal-noise.png" -threshold 94% -negate "$TMP/seal-holes.png"
        convert "$TMP/seal-cover.png" "$TMP/seal-rim.png" -compose Multiply -composite \
            "$TMP/seal-holes.png" -compose Multiply -composite \
            -evaluate multiply 0.92 "$TMP/seal-cover.png"
    fi
    convert -size "${w}x${h}" xc:"$SEAL_RED" "$TMP/seal-cover.png" \
        -alpha off -compose CopyOpacity -composite "$out"
}

# ---------------------------------------------------------------------------
# 1. background.bmp
make_background() {
    local W=1024 H=768
    paper "$W" "$H" 11 "$TMP/bg-paper.png"

    # faint ruled columns, like traditional letter paper (八行笺): a top rule
    # under the seal margin, a double rule at the outer edges, single rules
    # between
    local top=53 rules="" k x
    for k in 0 1 2 3 4 5 6 7 8; do
        x=$(( 20 + k * 111 ))
        rules+="line $x,$top $x,$H "
    done
    rules+="line 16,$top 16,$H line 912,$top 912,$H line 16,$top 912,$top "
    convert -size "${W}x${H}" xc:none -fill none -stroke "rgba(172,72,52,0.16)" \
        -strokewidth 1 -draw "$rules" "$TMP/bg-rules.png"

    # misty ranges in the lower right of the visible area
    mountains 600 220 29 "$TMP/bg-mt.png"
    fade_edges "$TMP/bg-mt.png" 0.3 0.15 "$TMP/bg-mt.png"
    convert "$TMP/bg-mt.png" +level 80%,100% "$TMP/bg-mt-faint.png"
    convert -size "${W}x${H}" xc:white "$TMP/bg-mt-faint.png" -geometry +390+405 \
        -compose Over -composite "$TMP/bg-ink.png"

    seal 60 38 "声韵" 22 5 "$TMP/bg-seal.png"

    # paper -> pale khaki towards the bottom; last rows exactly khaki
    convert "$TMP/bg-paper.png" \
        "$TMP/bg-ink.png" -compose Multiply -composite \
        "$TMP/bg-rules.png" -compose Over -composite \
        "$TMP/bg-seal.png" -geometry +852+9 -compose Over -composite \
        \( -size "${W}x${H}" xc:"$KHAKI" \) \
        \( -size "${W}x${H}" xc: -sparse-color Barycentric "0,612 black 0,727 white" \
           -clamp -sigmoidal-contrast 3,50% \) \
        -compose Over -composite \
        -fill "$KHAKI" -draw "rectangle 0,728 $((W - 1)),$((H - 1))" \
        -alpha off -type TrueColor -depth 8 BMP3:"$HERE/background.bmp"
}

# bamboo W H SEED OUT -- two slender ink bamboo stems with leaf clusters
# hanging from the top right, as a grey image (white = no ink)
bamboo() {
    local w=$1 h=$2 s=$3 out=$4
    awk -v w="$w" -v h="$h" -v seed="$s" "$AWK_RNG"'
    function leaf(bx, by, a, L, W, tone,   u, k, cx, cy, hw, px, py, nx, ny, xs, ys, n) {
        n = 0
        for (k = 0; k <= 20; k++) {
            u = k / 20
            cx = bx + cos(a) * L * u - sin(a) * L * 0.06 * sin(3.1416 * u)
            cy = by + sin(a) * L * u + cos(a) * L * 0.06 * sin(3.1416 * u)
            hw = W / 2 * sin(3.1416 * u ^ 0.65) ^ 0.8
            xs[k] = cx; ys[k] = cy; hws[k] = hw
        }
        printf "fill gray%d polygon", tone
        for (k = 0; k <= 20; k++) printf " %.1f,%.1f", xs[k] - sin(a) * hws[k], ys[k] + cos(a) * hws[k]
        for (k = 20; k >= 0; k--) printf " %.1f,%.1f", xs[k] + sin(a) * hws[k], ys[k] - cos(a) * hws[k]
        printf "\n"
    }
    function cluster(x, y, dir, tone,   i, n, a) {
        # a "个"-like group of three to five leaves hanging down from a twig
        n = 3 + int(rnd() * 3)
        for (i = 0; i < n; i++) {
            a = (dir > 0 ? 0.95 : 2.19) + dir * (i - (n - 1) / 2) * 0.36 + (rnd() - 0.5) * 0.2
            leaf(x + dir * i * 2.5, y + i * 1.5, a, h * (0.19 + rnd() * 0.09), h * (0.026 + rnd() * 0.008), tone + int(rnd() * 14))
        }
    }
    BEGIN {
        for (st = 0; st < 2; st++) {
            x = w * (0.62 + st * 0.2); tone = (st == 0 ? 46 : 62); sw = w * (0.030 - st * 0.008)
            y = -5; lean = (st == 0 ? -0.06 : -0.03)
            while (y < h * (0.95 - st * 0.25)) {
                seg = h * (0.16 + rnd() * 0.06); y2 = y + seg; x2 = x + lean * seg
                printf "stroke gray%d stroke-width %.1f stroke-linecap butt line %.1f,%.1f %.1f,%.1f\n", tone + 10, sw, x, y + 2, x2, y2 - 2
                printf "stroke gray%d stroke-width %.1f line %.1f,%.1f %.1f,%.1f\n", tone - 16, sw * 0.3, x2 - sw * 0.55, y2 - 1, x2 + sw * 0.55, y2 - 1
                if (rnd() < 0.55 && y2 < h * 0.7) {
                    dir = (rnd() < 0.5 ? -1 : 1); bx = x2 + dir * w * 0.12; by = y2 + h * 0.05
                    printf "stroke gray%d stroke-width %.1f fill none path \"M %.1f,%.1f Q %.1f,%.1f %.1f,%.1f\"\n", tone, sw * 0.18, x2, y2, x2 + dir * w * 0.06, y2, bx, by
                    printf "stroke none\n"
                    cluster(bx, by, dir, tone - 8)
                }
                printf "stroke none\n"
                x = x2; y = y2
            }
        }
    }' > "$TMP/bamboo.mvg"
    convert -size "${w}x${h}" xc:white -draw "$(cat "$TMP/bamboo.mvg")" -blur 0x0.6 "$out"
}

# brush W H X0 X1 Y THICK SEED OUT [WET] -- a horizontal brush stroke as a
# grey mask (white = ink) from X0 to X1 around line Y: it starts full, thins
# out and breaks into bristle marks towards its end.  WET=1 gives a soft,
# watery stroke with streaks all along instead of a crisp dry one.
brush() {
    local w=$1 h=$2 x0=$3 x1=$4 y=$5 th=$6 s=$7 out=$8 wet=${9:-0}
    awk -v x0="$x0" -v x1="$x1" -v y="$y" -v th="$th" -v seed="$s" "$AWK_RNG"'
    BEGIN {
        n = 64; p1 = rnd() * 6.28; p2 = rnd() * 6.28
        printf "polygon"
        for (i = 0; i <= n; i++) {
            u = i / n; x = x0 + (x1 - x0) * u
            half = th / 2 * sqrt(sin(3.1416 * (0.03 + 0.97 * u ^ 0.8))) * (1 - 0.35 * u)
            top[i] = y - half + th * 0.08 * sin(u * 5 + p1); bot[i] = y + half + th * 0.08 * sin(u * 4 + p2)
            printf " %.1f,%.1f", x, top[i]
        }
        for (i = n; i >= 0; i--) printf " %.1f,%.1f", x0 + (x1 - x0) * i / n, bot[i]
        printf "\n"
    }' > "$TMP/brush.mvg"
    if [ "$wet" = 1 ]; then
        convert -size "${w}x${h}" xc:black -fill white -draw "$(cat "$TMP/brush.mvg")" \
            -blur 0x$((th / 8 + 1)) "$TMP/brush-shape.png"
        # streaks all along, fading towards the end
        convert -size "$((w / 40 + 2))x${h}" xc:gray50 -seed "$s" +noise Random -colorspace gray \
            -resize "${w}x${h}!" -auto-level -blur 0x1 +level 35%,100% \
            \( -size "${w}x${h}" xc: -sparse-color Barycentric "$x0,0 white $x1,0 gray45" \) \
            -compose Multiply -composite "$TMP/brush-bristle.png"
    else
        convert -size "${w}x${h}" xc:black -fill white -draw "$(cat "$TMP/brush.mvg")" \
            -blur 0x1.5 "$TMP/brush-shape.png"
        # bristles: long streaks; more and more gaps towards the end of the stroke
        convert -size "$((w / 70 + 2))x${h}" xc:gray50 -seed "$s" +noise Random -colorspace gray \
            -resize "${w}x${h}!" -auto-level \
            \( -size "${w}x${h}" xc: -sparse-color Barycentric "$x0,0 gray80 $x1,0 gray22" \) \
            -compose Plus -composite -threshold 70% -blur 0x0.7 "$TMP/brush-bristle.png"
    fi
    convert "$TMP/brush-shape.png" "$TMP/brush-bristle.png" -compose Multiply -composite "$out"
}

# ---------------------------------------------------------------------------
# 2. panel.jpg -- shown squashed to about 945x104, so everything in it is
# horizontal: a paper-to-khaki wash, long fibres, a dry-brush rule along the
# top, soft bands of ink mist and one pale stroke low down.
make_panel() {
    local W=802 H=680
    # wash: light paper at the top, warm khaki at the bottom
    convert -size "${W}x${H}" xc: -sparse-color Barycentric \
        "0,0 rgb(245,240,218) 0,$((H - 1)) rgb(226,221,158)" "$TMP/pn-wash.png"
    # long horizontal fibres
    convert -size "$((W / 50))x${H}" xc:gray50 -seed 41 +noise Random -colorspace gray \
        -resize "${W}x${H}!" -auto-level +level 45%,55% "$TMP/pn-fibre.png"
    # ink mist: clouds stretched sideways, kept to two soft bands
    convert -size "1x${H}" xc: \
        -fx "0.55 * exp(-pow((j / h - 0.50) / 0.10, 2)) + 0.9 * exp(-pow((j / h - 0.86) / 0.11, 2))" \
        -scale "${W}x${H}!" "$TMP/pn-bands.png"
    convert -size "24x$((H / 10))" xc:gray50 -seed 43 +noise Random -colorspace gray \
        -virtual-pixel mirror -resize "${W}x${H}!" -blur 0x22 -auto-level \
        "$TMP/pn-bands.png" -compose Multiply -composite +level 0,26% "$TMP/pn-mist.png"
    # dry-brush rule along the top, and a pale long stroke low down
    brush "$W" "$H" -20 "$((W + 10))" 18 34 47 "$TMP/pn-top.png"
    convert "$TMP/pn-top.png" +level 0,62% "$TMP/pn-top.png"
    brush "$W" "$H" 250 "$((W + 40))" "$((H * 72 / 100))" 80 53 "$TMP/pn-low.png" 1
    convert "$TMP/pn-low.png" +level 0,20% "$TMP/pn-low.png"
    convert "$TMP/pn-wash.png" \
        "$TMP/pn-fibre.png" -compose Overlay -composite \
        \( -size "${W}x${H}" xc:"rgb(92,100,92)" \) "$TMP/pn-mist.png" -compose Over -composite \
        \( -size "${W}x${H}" xc:"$INK" \) "$TMP/pn-low.png" -compose Over -composite \
        \( -size "${W}x${H}" xc:"$INK" \) "$TMP/pn-top.png" -compose Over -composite \
        -alpha off -strip -quality 90 -sampling-factor 1x1 "$HERE/panel.jpg"
}

# ---------------------------------------------------------------------------
# 3. author.jpg -- the card in the "作者" window (its rightmost 3 columns and
# bottom 4 rows are cut off on screen, so the frame keeps clear of them)
make_author() {
    local W=640 H=480
    paper "$W" "$H" 23 "$TMP/au-paper.png"
    mountains "$W" 170 37 "$TMP/au-mt.png"
    fade_edges "$TMP/au-mt.png" 0.12 0.2 "$TMP/au-mt.png"
    convert "$TMP/au-mt.png" +level 48%,100% "$TMP/au-mt.png"
    bamboo 230 300 71 "$TMP/au-bamboo.png"
    fade_edges "$TMP/au-bamboo.png" 0.01 0.35 "$TMP/au-bamboo.png"
    convert "$TMP/au-bamboo.png" +level 30%,100% "$TMP/au-bamboo.png"
    convert -size "${W}x${H}" xc:white \
        "$TMP/au-mt.png" -geometry +0+$((H - 176)) -compose Over -composite \
        "$TMP/au-bamboo.png" -geometry +392+17 -compose Multiply -composite \
        "$TMP/au-ink.png"
    brush "$W" "$H" 66 330 204 9 61 "$TMP/au-rule.png"
    convert "$TMP/au-rule.png" +level 0,70% "$TMP/au-rule.png"
    seal 34 66 $'填\n词' 24 9 "$TMP/au-seal.png"
    convert "$TMP/au-paper.png" \
        "$TMP/au-ink.png" -compose Multiply -composite \
        \( -size "${W}x${H}" xc:"$INK" \) "$TMP/au-rule.png" -compose Over -composite \
        -fill none -stroke "rgba(160,70,50,0.45)" -strokewidth 1 \
        -draw "rectangle 12,12 624,463" -draw "rectangle 16,16 620,459" \
        -stroke none -fill "$INK" -font "$SERIF_BOLD" -pointsize 88 \
        -annotate +60+168 "声韵笺" \
        "$TMP/au-seal.png" -geometry +344+100 -compose Over -composite \
        -fill "rgb(70,72,70)" -font "$SERIF" -pointsize 23 \
        -annotate +64+248 "按原曲的字数，填你的新词" \
        -fill "rgb(110,106,96)" -pointsize 17 \
        -annotate +65+282 "为翻唱填词的笔记本" \
        -alpha off -strip -quality 90 "$HERE/author.jpg"
}

# ---------------------------------------------------------------------------
# 4. icon.ico -- one 139x139 image with a 16-colour palette (4 bits per
# pixel): a cinnabar seal with a white 声.  Drawn four times larger, then
# scaled down so the edges stay smooth; the corners are transparent.
make_icon() {
    local S=556 CREAM="rgb(250,242,228)" RIM="rgb(240,208,180)"
    convert -size "${S}x${S}" gradient:"rgb(194,48,36)-rgb(160,30,23)" \
        \( -size "${S}x${S}" xc:black -fill white \
           -draw "roundrectangle 8,8 $((S - 9)),$((S - 9)) 60,60" \) \
        -alpha off -compose CopyOpacity -composite -compose Over \
        -fill none -stroke "$RIM" -strokewidth 10 \
        -draw "roundrectangle 36,36 $((S - 37)),$((S - 37)) 30,30" \
        -fill "$CREAM" -stroke "$CREAM" -strokewidth 14 -font "$SERIF_BOLD" -pointsize 420 \
        -gravity center -annotate +0+8 "声" \
        -filter Lanczos -resize 139x139 "$TMP/icon-big.png"
    # hard-edged transparency (an icon mask is 1 bit), black under the mask
    # as icons expect, and at most 16 colours (4 bits per pixel)
    convert "$TMP/icon-big.png" \
        \( +clone -alpha extract -threshold 50% \) \
        \( -clone 0 -background "rgb(178,40,30)" -alpha remove -alpha off \) \
        -delete 0 +swap -compose CopyOpacity -composite \
        -background black -alpha background \
        +dither -colors 16 -type PaletteAlpha "$HERE/icon.ico"
}

if [ -z "${NO_RUN:-}" ]; then
    make_background
    make_panel
    make_author
    make_icon
    # the lyric panel continues below the background in plain colour, so its
    # last rows must be exactly the khaki
    bottom=$(convert "$HERE/background.bmp" -crop 1024x40+0+728 +repage -unique-colors \
        -format "%w %[pixel:p{0,0}]" info:)
    if [ "$bottom" != "1 srgb(223,219,148)" ]; then
        echo "make-artwork.sh: background.bmp bottom rows are not (223,219,148): $bottom" >&2
        exit 1
    fi
    identify "$HERE/background.bmp" "$HERE/panel.jpg" "$HERE/author.jpg" "$HERE/icon.ico"
fi
