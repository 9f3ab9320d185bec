/*
 * batch.c - the converters over whole folders (see batch.h).
 */
#define _GNU_SOURCE

#include "batch.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static volatile sig_atomic_t stop;

static void on_signal(int sig)
{
    (void)sig;
    stop = 1;
}

/* --- finding the tracks --- */

typedef struct Item {
    char *track;     /* the track's path */
    char *lrc;       /* its LRC file's path; import: null when it has none */
    char *temp;      /* the temporary name its rewrite takes (temp_key) */
} Item;

typedef struct Batch {
    int program;
    Item *items;
    size_t n, cap;
    struct stat *folders;   /* every folder searched, so none twice */
    size_t nfolders;
    int errors;             /* folders that could not be read */
} Batch;

static int has_extension(const char *name, const char *ext)
{
    const char *e = get_extension(name);

    return e != NULL && strcasecmp(e, ext) == 0;
}

/* folder/name; name alone for a null folder (a track named on its own). */
static char *join(const char *folder, const char *name)
{
    char *path;

    if (folder == NULL)
        return strdup(name);
    if (asprintf(&path, "%s%s%s", folder, folder[strlen(folder) - 1] == '/' ? "" : "/", name) < 0)
        return NULL;
    return path;
}

static int by_name(const void *a, const void *b)
{
    return strcmp(*(char *const *)a, *(char *const *)b);
}

/* The names in the folder at path, sorted; null with errno set when it
 * cannot be read. */
static char **names_in(const char *path, size_t *n)
{
    DIR *d = opendir(path);
    struct dirent *e;
    char **names = NULL, **more;
    size_t cap = 0;

    *n = 0;
    if (d == NULL)
        return NULL;
    while ((e = readdir(d)) != NULL) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        if (*n == cap) {
            cap = cap ? 2 * cap : 64;
            if ((more = realloc(names, cap * sizeof *names)) == NULL)
                break;
            names = more;
        }
        if ((names[*n] = strdup(e->d_name)) == NULL)
            break;
        ++*n;
    }
    closedir(d);
    if (names == NULL)
        names = malloc(sizeof *names);
    if (names != NULL)
        qsort(names, *n, sizeof *names, by_name);
    return names;
}

static void free_names(char **names, size_t n)
{
    while (n > 0)
        free(names[--n]);
    free(names);
}

/* The LRC file of the track called name among the names of its folder:
 * the same stem, the extension ".lrc" in any case, ".lrc" itself first. */
static const char *lrc_among(char **names, size_t n, const char *name)
{
    const char *ext = get_extension(name);
    size_t stem = ext != NULL ? (size_t)(ext - name) : strlen(name), i;
    const char *found = NULL;

    for (i = 0; i < n; i++) {
        if (strlen(names[i]) != stem + 4 || strncmp(names[i], name, stem) != 0 ||
            strcasecmp(names[i] + stem, ".lrc") != 0)
            continue;
        if (strcmp(names[i] + stem, ".lrc") == 0)
            return names[i];
        if (found == NULL)
            found = names[i];
    }
    return found;
}

/* The temporary name a track's rewrite takes (beside the track for an
 * import, beside its LRC file for an export), links and folders resolved:
 * tracks with one such name must not be rewritten at once, and its folder
 * is the one the batch syncs.  Null when memory runs out. */
static char *temp_key(int program, const Item *item)
{
    const char *path = program == FOR_IMPORT ? item->track : item->lrc;
    const char *slash = strrchr(path, '/');
    char *real = realpath(path, NULL), *folder, *key;

    if (real == NULL) {
        /* No such file yet (an export's new LRC file): its folder resolved. */
        folder = slash == NULL ? strdup(".") : slash == path ? strdup("/") : strndup(path, (size_t)(slash - path));
        real = folder != NULL ? realpath(folder, NULL) : NULL;
        free(folder);
        if (real != NULL) {
            folder = real;
            real = join(folder, slash != NULL ? slash + 1 : path);
            free(folder);
        } else {
            real = strdup(path);
        }
    }
    key = real != NULL ? replace_tempname(real, program == FOR_IMPORT ? ".mp$" : ".lr$") : NULL;
    free(real);
    return key;
}

/* Adds the track name in folder: import takes the LRC file there, or none;
 * export writes that file, or STEM.lrc. */
static int add_track(Batch *b, const char *folder, const char *name, char **names, size_t n)
{
    const char *lrc = lrc_among(names, n, name);
    Item *more, *item;
    char *stem = NULL;

    if (b->n == b->cap) {
        b->cap = b->cap ? 2 * b->cap : 256;
        if ((more = realloc(b->items, b->cap * sizeof *b->items)) == NULL)
            return 0;
        b->items = more;
    }
    item = &b->items[b->n];
    item->track = join(folder, name);
    item->lrc = NULL;
    if (lrc == NULL && b->program == FOR_EXPORT && (stem = set_extension(name, ".lrc", 1)) == NULL)
        return 0;
    if (lrc != NULL || stem != NULL)
        item->lrc = join(folder, lrc != NULL ? lrc : stem);
    free(stem);
    if (item->track == NULL || ((lrc != NULL || b->program == FOR_EXPORT) && item->lrc == NULL) ||
        (item->temp = temp_key(b->program, item)) == NULL)
        return 0;
    b->n++;
    return 1;
}

/* Whether the folder st was searched already; if not, it now is. */
static int seen_before(Batch *b, const struct stat *st)
{
    struct stat *more;
    size_t i;

    for (i = 0; i < b->nfolders; i++)
        if (replace_same_file(&b->folders[i], st))
            return 1;
    if ((more = realloc(b->folders, (b->nfolders + 1) * sizeof *more)) == NULL)
        return 1;
    b->folders = more;
    b->folders[b->nfolders++] = *st;
    return 0;
}

static void folder_failed(Batch *b, const char *path)
{
    printf("%s: Error opening folder \"%s\": %s.\n", path, path, strerror(errno));
    b->errors++;
}

/* Searches the folder at path (st: its status); 0 when memory ran out. */
static int search(Batch *b, const char *path, const struct stat *st)
{
    struct stat entry, target;
    size_t n, i;
    char **names, *full;
    int ok = 1;

    if (seen_before(b, st))
        return 1;
    if ((names = names_in(path, &n)) == NULL) {
        folder_failed(b, path);
        return 1;
    }
    for (i = 0; ok && i < n; i++) {
        if ((full = join(path, names[i])) == NULL) {
            ok = 0;
            break;
        }
        if (lstat(full, &entry) == 0) {
            if (S_ISDIR(entry.st_mode))
                ok = search(b, full, &entry);
            else if ((S_ISREG(entry.st_mode) ||
                      (S_ISLNK(entry.st_mode) && stat(full, &target) == 0 && S_ISREG(target.st_mode))) &&
                     has_extension(names[i], ".mp3"))
                ok = add_track(b, path, names[i], names, n);
        }
        free(full);
    }
    free_names(names, n);
    return ok;
}

/* An argument: a folder to search, or a track named on its own (its LRC
 * file looked for beside it, its path kept as given). */
static int add_argument(Batch *b, const char *arg)
{
    struct stat st;
    const char *slash = strrchr(arg, '/');
    char *folder, **names;
    size_t n = 0;
    int ok;

    if (stat(arg, &st) == 0 && S_ISDIR(st.st_mode))
        return search(b, arg, &st);
    folder = slash == NULL ? NULL : slash == arg ? strdup("/") : strndup(arg, (size_t)(slash - arg));
    if (slash != NULL && folder == NULL)
        return 0;
    names = names_in(folder != NULL ? folder : ".", &n);
    ok = add_track(b, folder, slash != NULL ? slash + 1 : arg, names, n);
    if (names != NULL)
        free_names(names, n);
    free(folder);
    return ok;
}

/* --- the workers --- */

/* Tracks a worker writes before it syncs them at once: the most temporary
 * files a worker can leave behind when the machine stops. */
#define GROUP 32
/* Descriptors a track holds while its group is open (its stream, its LRC
 * file's, its folder, its lock and the new copy's), and those kept for
 * the rest of a worker (standard streams, the pipe, a stream being
 * written, the C library's). */
#define TRACK_FDS 5
#define OTHER_FDS 16

/* The tracks in a group: GROUP, or fewer where the limit on open
 * descriptors would make the last ones fail. */
static size_t group_size(void)
{
    struct rlimit rl;

    if (getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY ||
        rl.rlim_cur >= OTHER_FDS + GROUP * TRACK_FDS)
        return GROUP;
    return rl.rlim_cur >= OTHER_FDS + 2 * TRACK_FDS ? (size_t)(rl.rlim_cur - OTHER_FDS) / TRACK_FDS : 1;
}

/* What a worker says of a track: its index, its outcome and the length of
 * the message that follows. */
typedef struct Record {
    int32_t index, outcome, length;
} Record;

/* Moves n bytes between p and the pipe fd, writing with out non-zero and
 * reading otherwise, across short counts and signals: 1 when all moved, 0
 * at an error or (reading) the pipe's end. */
static int move_all(int fd, void *p, size_t n, int out)
{
    char *c = p;
    ssize_t done;

    while (n > 0) {
        done = out ? write(fd, c, n) : read(fd, c, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return 0;
        c += done;
        n -= (size_t)done;
    }
    return 1;
}

static int write_all(int fd, const void *p, size_t n)
{
    return move_all(fd, (void *)p, n, 1);
}

static int read_all(int fd, void *p, size_t n)
{
    return move_all(fd, p, n, 0);
}

/* Sends the outcome of track i to the parent; 0 when nobody listens. */
static int send_outcome(int fd, size_t i, int outcome, char *message)
{
    Record rec;
    int sent;

    if (outcome == OUT_FAILED && message == NULL)
        message = strdup("Insufficient memory.");
    rec.index = (int32_t)i;
    rec.outcome = outcome;
    rec.length = message != NULL ? (int32_t)strlen(message) : 0;
    sent = write_all(fd, &rec, sizeof rec) && write_all(fd, message ? message : "", (size_t)rec.length);
    free(message);
    return sent;
}

/* Syncs the file systems that hold the new copies written in a group,
 * once each, in place of a sync of each copy where that is as safe. */
static void sync_written(ToolRun *runs, const int *outcome, size_t k)
{
    Replace *written[GROUP];
    size_t i;

    for (i = 0; i < k; i++)
        written[i] = outcome[i] == OUT_WRITTEN ? &runs[i].track.out : NULL;
    replace_sync_group(written, k);
}

typedef struct Keyed {
    const char *key;
    size_t index;
} Keyed;

static int by_key(const void *a, const void *b)
{
    const Keyed *x = a, *y = b;
    int c = strcmp(x->key, y->key);

    return c != 0 ? c : x->index < y->index ? -1 : x->index > y->index;
}

/* For each track, the last earlier track whose rewrite takes the same
 * temporary name ("t.mp3" and "t.MP3" both take "t.mp$", as do two links
 * to one track), or NONE: such tracks are handled one after the other, in
 * order, by one worker, so that neither finds the other's temporary file
 * and the outcomes do not depend on the number of workers.  Null when
 * memory runs out. */
#define NONE ((size_t)-1)

static size_t *earlier_sharers(const Batch *b)
{
    Keyed *keyed = malloc(b->n * sizeof *keyed);
    size_t *prev = malloc(b->n * sizeof *prev), i;

    if (keyed == NULL || prev == NULL) {
        free(keyed);
        free(prev);
        return NULL;
    }
    for (i = 0; i < b->n; i++)
        keyed[i] = (Keyed){b->items[i].temp, i};
    qsort(keyed, b->n, sizeof *keyed, by_key);
    for (i = 0; i < b->n; i++)
        prev[keyed[i].index] = i > 0 && strcmp(keyed[i - 1].key, keyed[i].key) == 0 ? keyed[i - 1].index : NONE;
    free(keyed);
    return prev;
}

/* Whether the track an earlier one must precede (prev) is in the group so
 * far: the group then ends before it. */
static int waits(const size_t *index, size_t k, size_t prev)
{
    size_t g;

    for (g = 0; prev != NONE && g < k; g++)
        if (index[g] == prev)
            return 1;
    return 0;
}

/* Worker w: the tracks owner gives it, in order, until stopped, GROUP at a
 * time: an import writes the new copies of a group, syncs them at once and
 * only then puts each in place, each checked as on its own.  Stopped, it
 * gives up the copies it has not put in place yet: those tracks stay as
 * they were. */
static void work(const Batch *b, const Options *o, const size_t *owner, const size_t *prev, size_t w, int fd)
{
    ToolRun runs[GROUP];
    Job jobs[GROUP];
    char *message[GROUP];
    int outcome[GROUP];
    size_t index[GROUP], i = 0, k, g, group = group_size();

    for (;;) {
        for (k = 0; k < group && !stop; k++, i++) {
            while (i < b->n && owner[i] != w)
                i++;
            if (i == b->n || waits(index, k, prev[i]))
                break;
            memset(&runs[k], 0, sizeof runs[k]);
            jobs[k] = (Job){b->items[i].track, b->items[i].lrc, 0, 0, 1};
            index[k] = i;
            outcome[k] = b->program == FOR_IMPORT ? import_one(&runs[k], &jobs[k], o, &message[k])
                                                  : export_one(&runs[k], &jobs[k], o, &message[k]);
        }
        if (k == 0)
            break;
        sync_written(runs, outcome, k);
        for (g = 0; g < k; g++) {
            if (outcome[g] == OUT_WRITTEN)
                outcome[g] = stop ? -1 : commit_one(&runs[g], &jobs[g], &message[g]);
            run_close(&runs[g], 0);
            if (outcome[g] >= 0 && !send_outcome(fd, index[g], outcome[g], message[g]))
                stop = 1;   /* nobody listens any more */
        }
    }
}

/* --- the report --- */

typedef struct Report {
    int32_t *outcome;    /* per track, -1 until known */
    char **message;
    size_t next;         /* the first track whose line is not out yet */
    size_t done;
    int progress;        /* a progress line on standard error */
} Report;

static void clear_progress(Report *r)
{
    if (r->progress)
        fputs("\r\033[K", stderr);
}

/* Prints the lines of the tracks known, in track order, up to the first
 * not known yet (all of them when final). */
static void print_known(Report *r, const Batch *b, int final)
{
    for (; r->next < b->n; r->next++) {
        if (r->outcome[r->next] < 0 && !final)
            break;
        if (r->outcome[r->next] == OUT_FAILED) {
            clear_progress(r);
            printf("%s: %s\n", b->items[r->next].track, r->message[r->next]);
            fflush(stdout);
        }
    }
    if (r->progress && !final)
        fprintf(stderr, "\r%zu/%zu tracks", r->done, b->n);
}

static void print_counts(const Report *r, const Batch *b)
{
    size_t count[OUT_FAILED + 1] = {0}, i;

    for (i = 0; i < b->n; i++)
        if (r->outcome[i] >= 0)
            count[r->outcome[i]]++;
    if (b->program == FOR_IMPORT)
        printf("%zu tracks: %zu imported, %zu unchanged, %zu without an LRC file, %zu failed.\n", b->n,
               count[OUT_DONE], count[OUT_UNCHANGED], count[OUT_SKIPPED], count[OUT_FAILED]);
    else
        printf("%zu tracks: %zu exported, %zu unchanged, %zu kept, %zu without a SYLT frame, %zu failed.\n",
               b->n, count[OUT_DONE], count[OUT_UNCHANGED], count[OUT_KEPT], count[OUT_SKIPPED],
               count[OUT_FAILED]);
}

/* Reads one record from fd into the report: 0 at the end of the pipe. */
static int take_record(Report *r, const Batch *b, int fd)
{
    Record rec;
    char *message;

    if (!read_all(fd, &rec, sizeof rec))
        return 0;
    if (rec.index < 0 || (size_t)rec.index >= b->n || rec.outcome < 0 || rec.outcome > OUT_FAILED ||
        rec.length < 0 || (message = malloc((size_t)rec.length + 1)) == NULL)
        return 0;
    if (!read_all(fd, message, (size_t)rec.length)) {
        free(message);
        return 0;
    }
    message[rec.length] = '\0';
    r->outcome[rec.index] = rec.outcome;
    r->message[rec.index] = message;
    r->done++;
    return 1;
}

/* Syncs the folder of every file a batch replaced, once each (the files
 * themselves are synced before their renames): after that the new names
 * are safe on disk too.  The folder is the one of the file's temporary
 * name, links resolved.  Best effort, as a single file's folder sync. */
static void sync_folders(const Batch *b, const Report *r)
{
    const char *last = NULL, *temp;
    size_t i, len, lastlen = 0;
    char *folder;
    int fd;

    for (i = 0; i < b->n; i++) {
        temp = b->items[i].temp;
        if (r->outcome[i] != OUT_DONE || strchr(temp, '/') == NULL)
            continue;
        len = (size_t)(strrchr(temp, '/') - temp);
        if (last != NULL && len == lastlen && strncmp(last, temp, len) == 0)
            continue;
        last = temp;
        lastlen = len;
        if ((folder = strndup(temp, len > 0 ? len : 1)) == NULL)
            continue;
        if ((fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0) {
            (void)fsync(fd);
            close(fd);
        }
        free(folder);
    }
}

/* Starts the workers, collects their records and waits for them. */
static void run_workers(const Batch *b, const Options *o, Report *r)
{
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    size_t count = o->jobs > 0 ? (size_t)o->jobs : cpus > 0 ? (size_t)cpus : 1, w, open, i;
    size_t *owner, *prev;
    struct pollfd *fds;
    pid_t *pids;
    int p[2], stopped = 0;

    if (count > b->n)
        count = b->n;
    fds = calloc(count, sizeof *fds);
    pids = calloc(count, sizeof *pids);
    owner = malloc(b->n * sizeof *owner);
    prev = earlier_sharers(b);
    if (fds == NULL || pids == NULL || owner == NULL || prev == NULL) {
        free(fds);
        free(pids);
        free(owner);
        free(prev);
        return;
    }
    /* The tracks in turn, except that one goes after the track it shares
     * its temporary name with. */
    for (i = 0; i < b->n; i++)
        owner[i] = prev[i] != NONE ? owner[prev[i]] : i % count;
    fflush(stdout);
    fflush(stderr);
    for (w = 0; w < count; w++) {
        fds[w].fd = -1;
        pids[w] = -1;
        if (pipe(p) != 0)
            continue;
        pids[w] = fork();
        if (pids[w] == 0) {
            size_t k;
            close(p[0]);
            for (k = 0; k < w; k++)
                if (fds[k].fd >= 0)
                    close(fds[k].fd);
            signal(SIGPIPE, SIG_IGN);
            work(b, o, owner, prev, w, p[1]);
            _exit(0);
        }
        close(p[1]);
        if (pids[w] < 0)
            close(p[0]);
        else
            fds[w].fd = p[0], fds[w].events = POLLIN;
    }
    for (open = count; open > 0;) {
        if (stop && !stopped) {
            /* Each worker ends the track it is on, then stops. */
            for (w = 0; w < count; w++)
                if (pids[w] > 0)
                    kill(pids[w], SIGTERM);
            stopped = 1;
        }
        if (poll(fds, count, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (open = 0, w = 0; w < count; w++) {
            if (fds[w].fd >= 0 && (fds[w].revents & (POLLIN | POLLHUP)) && !take_record(r, b, fds[w].fd)) {
                close(fds[w].fd);
                fds[w].fd = -1;
            }
            if (fds[w].fd >= 0)
                open++;
        }
        print_known(r, b, 0);
    }
    for (w = 0; w < count; w++) {
        if (fds[w].fd >= 0)
            close(fds[w].fd);
        while (pids[w] > 0 && waitpid(pids[w], NULL, 0) < 0 && errno == EINTR)
            ;
    }
    free(fds);
    free(pids);
    free(owner);
    free(prev);
}

int batch_run(int program, const Options *o)
{
    Batch b = {program, NULL, 0, 0, NULL, 0, 0};
    Report r = {NULL, NULL, 0, 0, !o->quiet && isatty(2)};
    struct sigaction sa;
    const char *name = program == FOR_IMPORT ? "lyrasil-import" : "lyrasil-export";
    size_t i, handled = 0, failed = 0;
    int ok = 1;

    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;     /* no SA_RESTART: poll must wake up */
    sigaction(SIGINT, &sa, NULL);
    sigaction(SIGTERM, &sa, NULL);

    for (i = 0; ok && i < (size_t)o->nargs && !stop; i++)
        ok = add_argument(&b, o->args[i]);
    if (ok) {
        r.outcome = malloc((b.n ? b.n : 1) * sizeof *r.outcome);
        r.message = calloc(b.n ? b.n : 1, sizeof *r.message);
        ok = r.outcome != NULL && r.message != NULL;
    }
    if (!ok) {
        puts("Insufficient memory.");
    } else {
        for (i = 0; i < b.n; i++)
            r.outcome[i] = -1;
        if (b.n > 0 && !stop)
            run_workers(&b, o, &r);
        if (!o->dryrun)
            sync_folders(&b, &r);
        print_known(&r, &b, 1);
        clear_progress(&r);
        for (i = 0; i < b.n; i++) {
            handled += r.outcome[i] >= 0;
            failed += r.outcome[i] == OUT_FAILED;
        }
        if (handled < b.n)
            fprintf(stderr, "%s: %s; %zu of %zu tracks were not handled.\n", name,
                    stop ? "stopped" : "a worker ended early", b.n - handled, b.n);
        print_counts(&r, &b);
    }
    for (i = 0; i < b.n; i++) {
        free(b.items[i].track);
        free(b.items[i].lrc);
        free(b.items[i].temp);
        if (r.message != NULL)
            free(r.message[i]);
    }
    free(b.items);
    free(b.folders);
    free(r.outcome);
    free(r.message);
    return ok && failed == 0 && handled == b.n && b.errors == 0 && !stop ? STATUS_OK : STATUS_FAILURE;
}
