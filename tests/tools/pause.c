/*
 * pause.c - preloaded (LD_PRELOAD) into a converter by the tests that force
 * an interleaving: the process stops itself with SIGSTOP at the first call
 * of the function that the environment variable LYRASIL_PAUSE names, so
 * that the test can change the world at that very moment and then let the
 * run go on (SIGCONT) or kill it.
 *   flock  the run has read its files and is about to lock what it
 *          replaces;
 *   fsync  the new file is complete and about to be checked and put in
 *          place (the first fsync of a regular file is the temporary
 *          file's; folders are synced after the renames);
 *   rename the new file, synced and checked, is about to take the old
 *          one's place (a batch may sync its files without fsync).
 */
#define _GNU_SOURCE

#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

static void pause_at(const char *name)
{
    static int done;
    const char *want = getenv("LYRASIL_PAUSE");

    if (!done && want != NULL && strcmp(want, name) == 0) {
        done = 1;
        raise(SIGSTOP);
    }
}

int fsync(int fd)
{
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    struct stat st;

    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        pause_at("fsync");
    return real(fd);
}

int renameat(int olddirfd, const char *oldpath, int newdirfd, const char *newpath)
{
    int (*real)(int, const char *, int, const char *) =
        (int (*)(int, const char *, int, const char *))dlsym(RTLD_NEXT, "renameat");

    pause_at("rename");
    return real(olddirfd, oldpath, newdirfd, newpath);
}

int flock(int fd, int op)
{
    int (*real)(int, int) = (int (*)(int, int))dlsym(RTLD_NEXT, "flock");

    pause_at("flock");
    return real(fd, op);
}
