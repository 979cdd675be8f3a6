/*
 * A host written in C that links libqorsf.so alone, as a desktop fax application would, and
 * runs the library frame through its exported functions on a temporary profile.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "qorsf.h"

static int failures = 0;

#define CHECK(cond)                                                        \
    do {                                                                   \
        if (!(cond)) {                                                     \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                    \
        }                                                                  \
    } while (0)

static void removeTree(const char* dir) {
    char cmd[512];
    if (snprintf(cmd, sizeof cmd, "rm -rf '%s'", dir) < (int)sizeof cmd) {
        if (system(cmd) != 0) fprintf(stderr, "could not remove %s\n", dir);
    }
}

int main(void) {
    const char* tmp = getenv("TMPDIR");
    char root[256];
    snprintf(root, sizeof root, "%s/qorfax-chost-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (!mkdtemp(root)) {
        perror("mkdtemp");
        return 1;
    }
    setenv("QORFAX_HOME", root, 1);

    const uint32_t host = 1; /* passed on unchanged; the frame needs no host block */
    CHECK(SF_open(host) == 0);

    uint16_t word = 1234;
    CHECK(SF_getparm(host, 4, &word) == 0);
    CHECK(word == 0);
    word = 1234;
    CHECK(SF_getparm(host, 3, &word) == 0);
    CHECK(word == 1234);

    const uint16_t five = 5;
    CHECK(SF_adjustparm(host, 5, &five) == 0);
    CHECK(SF_getparm(host, 5, &word) == 0);
    CHECK(word == 5);
    CHECK(SF_adjustparm(host, 1, "0049") == 0);
    CHECK(SF_adjustparm(host, 4, NULL) == 0);

    char path[80];
    memset(path, 0, sizeof path);
    CHECK(SF_getphonebookpath(host, path) == 0);
    CHECK(strstr(path, "personal.pbk") != NULL);
    CHECK(strncmp(path, root, strlen(root)) == 0);

    CHECK(SF_close(host) == 0);
    CHECK(SF_close(host) == 0); /* a second close frees nothing and still succeeds */

    char dat[300];
    struct stat st;
    snprintf(dat, sizeof dat, "%s/data/sf.dat", root);
    CHECK(stat(dat, &st) == 0 && st.st_size == 682);
    CHECK(sizeof(PB_ENTRY) == 419 && sizeof(SendOptions) == 1490 && sizeof(QUEUE_RECORD) == 426);

    removeTree(root);
    if (failures) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("c_host: all checks passed\n");
    return 0;
}
