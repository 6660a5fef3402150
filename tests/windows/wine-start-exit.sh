#!/bin/sh
# The 64-bit build under Wine: the window opens showing the cylinder end-on
# (a grey disc with spokes, centred on white) with "Cylinder" checked, and
# File > Exit from the keyboard ends the program with code 0.
set -u
. "$(dirname "$0")/wine-session.sh"
RequireTools
StartDisplay

start=$(Now)
StartProgram
window=$(WaitForWindow "Robot Kovra" 60) || exit 1
echo "wine: window after $(Elapsed "$start")s"

client=$(Probe client) || exit 1
read -r cx cy cw ch <<EOF_CLIENT
$client
EOF_CLIENT
echo "wine: client area ${cw}x${ch} at $cx,$cy"

# Pixel counts of the client area: white, neutral grey, any other colour.
# Polled: the first frame may come a little after the window.
crop="$session_dir/client.png"
i=0
while :; do
    shot=$(Shot start)
    convert "$shot" -crop "${cw}x${ch}+${cx}+${cy}" +repage "$crop"
    read -r white grey other <<EOF_COUNTS
$(convert "$crop" -format %c histogram:info:- | awk -F'[:(),]' '
    { n = $1 + 0; r = $3 + 0; g = $4 + 0; b = $5 + 0
      if (r == 255 && g == 255 && b == 255) white += n
      else if (r == g && g == b && r >= 32 && r <= 224) grey += n
      else other += n }
    END { print white + 0, grey + 0, other + 0 }')
EOF_COUNTS
    i=$((i + 1))
    if [ "$grey" -gt 0 ] || [ $i -ge 20 ]; then
        break
    fi
    sleep 0.25
done
echo "wine: client pixels white $white, grey $grey, other $other (screenshot $shot)"
[ "$grey" -ge 100 ] || Fail "the client area shows no drawing (grey pixels: $grey)"
[ "$other" -le $((grey / 10)) ] || Fail "the lines are not grey ($other pixels of other colours)"
[ "$white" -ge $((cw * ch * 9 / 10)) ] || Fail "the background is not white ($white pixels)"

# The disc: what is not white spans a box about as wide as high, centred.
read -r bw bh bx by <<EOF_BOX
$(convert "$crop" -format '%@' info: | tr 'x+' '  ')
EOF_BOX
echo "wine: drawing spans ${bw}x${bh} at $bx,$by"
off_x=$((2 * bx + bw - cw))
off_y=$((2 * by + bh - ch))
if [ "${off_x#-}" -gt 4 ] || [ "${off_y#-}" -gt 4 ]; then
    Fail "the drawing is not centred (twice its offset: $off_x, $off_y)"
fi
if [ "$bw" -lt 20 ] || [ $((bw - bh)) -gt 2 ] || [ $((bh - bw)) -gt 2 ]; then
    Fail "the drawing is not round (${bw}x${bh})"
fi

menu=$(Probe menu) || Fail "the probe cannot read the menu"
expected="40011 checked
40012 unchecked
40013 unchecked"
[ "$menu" = "$expected" ] || Fail "menu check marks: $(echo "$menu" | tr '\n' ',')"

# File > Exit the way a person does it from the keyboard.
Focus "$window"
xdotool key alt+f
WaitForPopup "$window" >/dev/null || exit 1
xdotool key x
start=$(Now)
WaitForProgramExit 20 || exit 1
[ "$exit_code" -eq 0 ] || Fail "exit code $exit_code after File > Exit"
echo "wine: File > Exit ended the program with code $exit_code in $(Elapsed "$start")s"

[ "$failures" -eq 0 ] || exit 1
