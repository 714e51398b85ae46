// Linked into every test program of a ThreadSanitizer build.

// glibc's time zone state (tzset_internal, reached from mktime and localtime_r by every
// local-time conversion) is guarded by a lock inside glibc that ThreadSanitizer does not
// see; without TZ set, each conversion frees and copies the zone's name under that lock.
extern "C" const char* __tsan_default_suppressions() {
    return "race:tzset_internal\n";
}
