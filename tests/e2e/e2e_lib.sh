# Shared by the end-to-end scenarios and the main job: the Wine scenario
# helpers and the walk of the default path, plus a working folder holding Dorvane.exe beside the
# emulated-hardware Pelmix.sys and its machine. Source it after setting:
#   E2E_BIN   Windows build folder (release/Dorvane.exe, test-tools/robot.exe,
#             emulated/Pelmix.sys)
#   E2E_OUT   folder for the working folders and the screenshots
#   E2E_PREFIX_DIR  folder of the Wine prefix (default E2E_OUT); the build
#             folder shares the prefix of the other Wine tests
#   E2E_USE_DISPLAY  set: use the display that is there, start no Xvfb
#   E2E_PROGRAM  (optional) the Dorvane.exe to run (the shipped copy, say)
#   E2E_I386_ROOT  (optional) run Wine in this private i386 root

SCENARIO_BIN=$E2E_BIN
SCENARIO_OUT=$E2E_OUT
SCENARIO_USE_DISPLAY=${E2E_USE_DISPLAY:-}
SCENARIO_PROGRAM=${E2E_PROGRAM:-}
SCENARIO_I386_ROOT=${E2E_I386_ROOT:-}
. "$(dirname "${BASH_SOURCE[0]}")/../wine-common/scenario_lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/../wine-common/default_walk.sh"
e2e_repo=$scenario_repo

e2e_cleanup() { scenario_cleanup; }
# 77 when Wine cannot run here; a root that is there but whose Wine does not
# start is a failure.
e2e_start() {
    scenario_start "${E2E_PREFIX_DIR:-$E2E_OUT}" && return 0
    [ -z "$SCENARIO_I386_ROOT" ] || { echo "FAIL: the i386 root's Wine did not start"; exit 1; }
    return 77
}

# prepare NAME MACHINE_FILE: a fresh working folder with the program, the
# robot, the emulated driver and the machine as Pelmix.machine.
prepare() {
    begin_scenario "$1"
    cp "$E2E_BIN/emulated/Pelmix.sys" "$work/Pelmix.sys"
    cp "$2" "$work/Pelmix.machine"
}
