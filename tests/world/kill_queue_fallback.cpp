// Until the kill queue is part of the world library, atoms deactivated in these tests queue
// nothing. Weak: the library's own queueKill replaces it as soon as it exists.
class ClEntity;
__attribute__((weak)) void queueKill(ClEntity*) {}
