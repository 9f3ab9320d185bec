/*
 * run-and-kill MICROSECONDS PROGRAM [ARGS...] - starts the program, kills it
 * with SIGKILL after the given time (it and every process it started, as a
 * machine that stops would), and reports on standard output whether
 * the kill landed ("killed") or the program had already ended ("exited N").
 * The program's own output goes to /dev/null.
 */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    struct timespec delay;
    long us;
    pid_t pid;
    int status, null;

    if (argc < 3) {
        fputs("usage: run-and-kill MICROSECONDS PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    us = atol(argv[1]);
    pid = fork();
    if (pid < 0) {
        perror("fork");
        return 2;
    }
    if (pid == 0) {
        setpgid(0, 0);
        null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    delay.tv_sec = us / 1000000;
    delay.tv_nsec = (us % 1000000) * 1000;
    setpgid(pid, pid);      /* whichever of the two runs first */
    nanosleep(&delay, NULL);
    kill(-pid, SIGKILL);
    if (waitpid(pid, &status, 0) < 0) {
        perror("waitpid");
        return 2;
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        puts("killed");
    else
        printf("exited %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
