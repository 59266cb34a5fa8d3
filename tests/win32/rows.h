/* The calls of the conformance table, one function per behaviour. Each
 * makes what it needs in its own empty folder, sets the thread's error code
 * to 0xdeadbeef right before the call, and tells what the call gave. */
#ifndef ROWS_H
#define ROWS_H

#include <windows.h>

typedef struct {
    DWORD result;   /* the call's BOOL, count or code; 1 for a valid handle */
    DWORD error;    /* GetLastError() right after the call */
    char left[300]; /* what it left behind, where the row looks at it */
} Outcome;

typedef void (*RowCall)(const char *dir, Outcome *out);

/* Files: sharing, read-only targets, flushing (rows_files.c). */
void delete_open_of_held(const char *dir, Outcome *out);
void delete_file_of_held(const char *dir, Outcome *out);
void copy_onto_held(const char *dir, Outcome *out);
void copy_onto_read_only(const char *dir, Outcome *out);
void move_onto_held(const char *dir, Outcome *out);
void move_onto_read_only(const char *dir, Outcome *out);
void flush_read_only_handle(const char *dir, Outcome *out);
void flush_write_handle(const char *dir, Outcome *out);

/* Names: wildcards, the search path, registry values (rows_lookup.c). */
void find_by_short_name(const char *dir, Outcome *out);
void find_without_match(const char *dir, Outcome *out);
void search_one_folder_finds(const char *dir, Outcome *out);
void search_one_folder_only(const char *dir, Outcome *out);
void search_empty_path(const char *dir, Outcome *out);
void search_null_path(const char *dir, Outcome *out);
void enum_value_small_data(const char *dir, Outcome *out);
void enum_value_small_name(const char *dir, Outcome *out);

/* A running program's own .exe file (rows_process.c); the program is a
 * copy of this one, started as "conformance.exe running EVENT". */
void delete_running_exe(const char *dir, Outcome *out);
void rename_running_exe(const char *dir, Outcome *out);
int run_as_running_copy(const char *event);

/* Shared by the rows (rows_files.c). */
void join(char *out, const char *dir, const char *name);
int put(const char *path, const char *text);
void content(const char *path, char *out, DWORD cap);
HANDLE hold(const char *path);

#endif
