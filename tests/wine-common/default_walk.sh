# The wizard's default path, one walk for the main job (scripts/run.sh), the
# end-to-end scenarios and the install test: Welcome, Next; Save Backup under
# the default name, Next; the read question, OK; Select BIOS with the in-built
# image, Next; the write question, OK; Setup Complete, restart later, Finish;
# exit code 0. Source it after scenario_lib.sh.
#
# A caller checks more on the way by redefining these after sourcing:
#   walk_at_backup_page   on the backup page, before Next
#   walk_at_image_page    on the image page, before Next
#   walk_read_question    expects the read question (then answered OK)
#   walk_write_question   expects the write question (then answered OK)
# walk_backup holds the backup's Windows path; WALK_TELL set tells each step.

walk_backup=

walk_at_backup_page() { :; }
walk_at_image_page() { :; }
walk_read_question() { expect_box read-question "caption: $text_ReadBiosTitle"; }
walk_write_question() { expect_box write-question "caption: $text_WriteBiosTitle"; }

walk_tell() { [ -z "${WALK_TELL:-}" ] || echo "  $*"; }

# Answers the question that is up with OK, telling its caption.
walk_answer_ok() {
    [ -z "${WALK_TELL:-}" ] || walk_tell "\"$(robot box 100 | sed -n 's/^caption: //p')\" question: OK"
    answer ok
}

# walk_to_write [ARGS]: starts Dorvane.exe with ARGS and walks up to the write
# question, answered OK. 1 when the walk stops on the way.
walk_to_write() {
    walk_backup=
    start "$@"
    expect_page Welcome || return 1
    walk_tell "Welcome page: Next"
    robot click "$IDOK" >/dev/null
    expect_page "Save Backup" || return 1
    walk_backup=$(robot get-text "$IDC_BACKUP_PATH")
    walk_at_backup_page
    walk_tell "Save Backup page: backup file $walk_backup; Next"
    robot click "$IDOK" >/dev/null
    walk_read_question || return 1
    walk_answer_ok
    expect_page "Select BIOS" 120000 || return 1
    walk_at_image_page
    walk_tell "Select BIOS page: default (in-built) image; Next"
    robot click "$IDOK" >/dev/null
    walk_write_question || return 1
    walk_answer_ok
}

# walk_finish: after the write, Setup Complete: restart later, Finish; exit
# code 0. A box up instead of the page is told in the failure.
walk_finish() {
    if ! robot wait-page "Setup Complete" 120000 >/dev/null; then
        local text
        text=$(robot box 1000 2>/dev/null | sed -n 's/^text: //p')
        fail "page Setup Complete did not show${text:+; a box says: $text}"
        return 1
    fi
    shot page-Setup-Complete
    walk_tell "Setup Complete page: restart later; Finish"
    robot click "$IDC_RESTART_LATER" >/dev/null
    robot click "$IDOK" >/dev/null
    expect_exit 0
}

# walk_default_path [ARGS]: the whole walk.
walk_default_path() { walk_to_write "$@" && walk_finish; }
