#include "deploy_recovery_rules.h"

RecoveryStep recovery_step(JournalState journal, JournalOp op, FilesFound found) {
    RecoveryStep step = {false, false, false, false, false};
    if (journal == JOURNAL_FOREIGN)
        return step;
    if (journal == JOURNAL_WHOLE && op == JOURNAL_DELETE) {
        step.drop_target = found.target;
        step.drop_new = found.next;
        step.drop_old = found.old;
        return step;
    }
    // A committed replace whose new copy is already in place keeps it; a
    // target that has gone since gets its old file back rather than none.
    bool finish = journal == JOURNAL_WHOLE && found.next;
    step.new_in = finish;
    step.drop_new = !finish && found.next;
    step.old_back = found.old && !found.target && !finish;
    step.drop_old = found.old && !step.old_back;
    return step;
}
