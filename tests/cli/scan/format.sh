# The format test: in the 32 positions from length-544 to length-513 a 'V' with 'E', 'J' or '-' 3 bytes
# later, or "TST". Each image is named by its mark and where it starts (bytes before the end).
for mark in "V  E@544" "V  J@513" "V  -@530" "TST@513" "V  E@545" "V  E@512" "TST@512" "V  X@544" \
            "   E@544" "TSX@530"; do
  gen image "${mark//[ @]/_}.vb" --mark "${mark%@*}" --at "${mark#*@}"
done
sorted quor scan
sortfile VAvuDevo.zid
show VAvuDevo.zid
