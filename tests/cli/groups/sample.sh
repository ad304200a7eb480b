# The group file the project ships sorts images into nested group folders (each "Creating" line as it is
# made, two to a line); bad dumps still absent are excluded from the missing list, not listed.
cfg <"$SOURCE/config/QuorInfo.cfg"
gen image "bomber bad.vb" "Panic Bomber (U) [b1]"
gen image clash.vb "Mario Clash (JU) [a1]"
gen image demo1.VB "Reality Boy Demo 1 (PD)"
gen image pong.vb "Virtual Pong (PD)"
gen image tele.vb "Teleroboxer (JU)"
gen image alarm.vb "Red Alarm (J)"
gen image golf.vb "Golf (U)"
quor rename dirs
show VBoyMiss.txt
