/* The reference for cmdwrap's benchmark: a minimal C program that does the same job. It reads
 * the argument file (text-mode rules: CR LF as LF, 0x1A ends the data; one argument per
 * non-empty line), truncates it, starts the child with one pipe for its standard output and
 * standard error, reads the pipe into one buffer, waits, then writes the buffer over the
 * argument file with every LF as CR LF through a bounded staging buffer, and ends with the
 * child's exit code (a note and -1 for Windows exception codes, as cmdwrap does).
 *
 *   reference_driver [-r <read size>] [-g step|double] [-d] <executable> <argument file>
 *
 *   -r  bytes per read of the pipe (default 2048)
 *   -g  step: the buffer grows to the next multiple of 4096 bytes (default);
 *       double: it doubles
 *   -d  discard what is read (the pipe's raw limit): the file gets the byte count in decimal
 *
 * POSIX: posix_spawn with the lines as argv. Windows: CreatePipe and CreateProcessA with the
 * lines quoted for the C-runtime rules. Any failure of its own ends it with -1. */
#ifndef _WIN32
#define _GNU_SOURCE /* pipe2 */
#endif
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

enum { staging_size = 64 * 1024, growth_step = 4096 };

static size_t read_size = 2048;
static int doubling = 0;
static int discarding = 0;

static void fail(const char* what) {
  fprintf(stderr, "reference_driver: %s\n", what);
  exit(-1);
}

static void* grow(void* block, size_t size) {
  void* grown = realloc(block, size);
  if (grown == NULL)
    fail("out of memory");
  return grown;
}

/* ------------------------------------------------------------ the argument file */

struct lines {
  char** items;
  size_t count;
};

/* The whole file, translated: CR LF becomes LF, 0x1A ends the data. Lines are cut in place. */
static struct lines read_lines(const char* path) {
  struct lines result = {NULL, 0};
  FILE* file = fopen(path, "rb");
  if (file == NULL)
    fail("cannot read the argument file");
  size_t size = 0, capacity = 0;
  char* data = NULL;
  for (;;) {
    if (size + 4096 + 1 > capacity) {
      capacity = capacity * 2 + 8192;
      data = grow(data, capacity);
    }
    size_t got = fread(data + size, 1, 4096, file);
    size += got;
    if (got < 4096)
      break;
  }
  if (ferror(file))
    fail("cannot read the argument file");
  fclose(file);
  char* end = memchr(data, 0x1A, size);
  if (end != NULL)
    size = (size_t)(end - data);
  size_t out = 0;
  for (size_t i = 0; i < size; ++i)
    if (!(data[i] == '\r' && i + 1 < size && data[i + 1] == '\n'))
      data[out++] = data[i];
  data[out] = '\n';
  for (char* line = data; line < data + out;) {
    char* next = memchr(line, '\n', (size_t)(data + out + 1 - line));
    *next = '\0';
    if (next > line) {
      result.items = grow(result.items, (result.count + 1) * sizeof(char*));
      result.items[result.count++] = line;
    }
    line = next + 1;
  }
  return result;
}

/* ---------------------------------------------------------------- the capture */

struct capture {
  char* data;
  size_t size;
  size_t capacity;
};

/* Room for one more read at the end of the buffer. */
static char* read_target(struct capture* out) {
  if (out->size + read_size > out->capacity) {
    size_t needed = out->size + read_size;
    if (doubling) {
      size_t capacity = out->capacity ? out->capacity : growth_step;
      while (capacity < needed)
        capacity *= 2;
      out->capacity = capacity;
    } else {
      out->capacity = (needed + growth_step - 1) / growth_step * growth_step;
    }
    out->data = grow(out->data, out->capacity);
  }
  return out->data + out->size;
}

/* ---------------------------------------------------------------- the result */

static int write_bytes(intptr_t file, const char* bytes, size_t count);

/* Writes text with every LF as CR LF, staged in a bounded buffer. Returns 0 on failure. */
static int write_translated(intptr_t file, const char* text, size_t size) {
  static char staging[staging_size];
  size_t used = 0;
  while (size > 0) {
    if (staging_size - used < 2) {
      if (!write_bytes(file, staging, used))
        return 0;
      used = 0;
    }
    size_t span = size < staging_size - used - 1 ? size : staging_size - used - 1;
    const char* lf = memchr(text, '\n', span);
    size_t before = lf ? (size_t)(lf - text) : span;
    memcpy(staging + used, text, before);
    used += before;
    text += before;
    size -= before;
    if (lf) {
      staging[used++] = '\r';
      staging[used++] = '\n';
      ++text;
      --size;
    }
  }
  return write_bytes(file, staging, used);
}

/* The output, the exception note when the code calls for one, and the final status. */
static int finish(intptr_t file, struct capture* out, uint32_t code) {
  int status = (int)code;
  char note[64];
  size_t note_size = 0;
  if (code >= 0xC0000000u) {
    note_size = (size_t)snprintf(note, sizeof note, "%sReturned Win32 exception 0x%08x\n",
                                 out->size ? "\n" : "", (unsigned)code);
    status = -1;
  }
  if (!write_translated(file, out->data, out->size) || !write_translated(file, note, note_size))
    status = -1;
  return status;
}

#ifdef _WIN32

/* ------------------------------------------------------------------- Windows */

static int write_bytes(intptr_t file, const char* bytes, size_t count) {
  DWORD written = 0;
  return count == 0 || (WriteFile((HANDLE)file, bytes, (DWORD)count, &written, NULL) &&
                        written == count);
}

/* Appends one argument, quoted for the C-runtime rules: backslashes doubled before a quote
 * and at the end, quotes escaped. */
static void append_quoted(char** line, size_t* size, const char* argument) {
  size_t length = strlen(argument);
  *line = grow(*line, *size + 2 * length + 4);
  char* out = *line + *size;
  *out++ = ' ';
  *out++ = '"';
  for (const char* c = argument; *c; ++c) {
    if (*c == '\\') {
      const char* run_end = c;
      while (*run_end == '\\')
        ++run_end;
      size_t run = (size_t)(run_end - c);
      size_t copies = (*run_end == '"' || *run_end == '\0') ? 2 * run : run;
      memset(out, '\\', copies);
      out += copies;
      c = run_end - 1;
      continue;
    }
    if (*c == '"')
      *out++ = '\\';
    *out++ = *c;
  }
  *out++ = '"';
  *out = '\0';
  *size = (size_t)(out - *line);
}

int main(int argc, char** argv) {
  int first = 1;
  for (; first < argc && argv[first][0] == '-'; ++first) {
    if (!strcmp(argv[first], "-r") && first + 1 < argc)
      read_size = (size_t)atol(argv[++first]);
    else if (!strcmp(argv[first], "-g") && first + 1 < argc)
      doubling = !strcmp(argv[++first], "double");
    else if (!strcmp(argv[first], "-d"))
      discarding = 1;
  }
  if (argc - first < 2)
    return -1;
  const char* executable = argv[first];
  const char* path = argv[first + 1];
  struct lines lines = read_lines(path);
  size_t size = strlen(executable);
  char* command = grow(NULL, size + 1);
  memcpy(command, executable, size + 1);
  for (size_t i = 0; i < lines.count; ++i)
    append_quoted(&command, &size, lines.items[i]);

  HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE)
    fail("cannot write the argument file");
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
  HANDLE reader, writer;
  if (!CreatePipe(&reader, &writer, &inheritable, 0))
    fail("no pipe");
  SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {0};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writer;
  startup.hStdError = writer;
  PROCESS_INFORMATION child;
  if (!CreateProcessA(executable, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &child))
    fail("cannot start the child");
  CloseHandle(writer);

  struct capture out = {NULL, 0, 0};
  char* discard = discarding ? grow(NULL, read_size) : NULL;
  for (;;) {
    DWORD got = 0;
    char* target = discarding ? discard : read_target(&out);
    if (!ReadFile(reader, target, (DWORD)read_size, &got, NULL) || got == 0)
      break;  /* ERROR_BROKEN_PIPE: every writer has closed */
    out.size += got;
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = (DWORD)-1;
  GetExitCodeProcess(child.hProcess, &code);
  if (discarding) {
    char count[32];
    int length = snprintf(count, sizeof count, "%zu", out.size);
    out.size = 0;
    write_bytes((intptr_t)file, count, (size_t)length);
  }
  int status = finish((intptr_t)file, &out, code == STILL_ACTIVE ? 0xFFFFFFFFu : code);
  CloseHandle(file);
  return status;
}

#else

/* --------------------------------------------------------------------- POSIX */

static int write_bytes(intptr_t file, const char* bytes, size_t count) {
  while (count > 0) {
    ssize_t written = write((int)file, bytes, count);
    if (written <= 0)
      return 0;
    bytes += written;
    count -= (size_t)written;
  }
  return 1;
}

/* The Windows exception code that cmdwrap reports for a child ended by a signal. */
static uint32_t signal_code(int signal_number) {
  switch (signal_number) {
    case SIGSEGV: return 0xC0000005u;
    case SIGBUS: return 0xC0000006u;
    case SIGILL: return 0xC000001Du;
    case SIGFPE: return 0xC0000094u;
    case SIGINT: return 0xC000013Au;
    case SIGABRT: return 0xC0000409u;
    default: return 0xC0000001u;
  }
}

int main(int argc, char** argv) {
  int option;
  while ((option = getopt(argc, argv, "+r:g:d")) != -1) {
    if (option == 'r')
      read_size = (size_t)atol(optarg);
    else if (option == 'g')
      doubling = !strcmp(optarg, "double");
    else if (option == 'd')
      discarding = 1;
    else
      return -1;
  }
  if (argc - optind < 2)
    return -1;
  const char* executable = argv[optind];
  const char* path = argv[optind + 1];
  struct lines lines = read_lines(path);
  char** child_argv = grow(NULL, (lines.count + 2) * sizeof(char*));
  child_argv[0] = (char*)executable;
  memcpy(child_argv + 1, lines.items, lines.count * sizeof(char*));
  child_argv[lines.count + 1] = NULL;

  int file = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file < 0)
    fail("cannot write the argument file");
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0)
    fail("no pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
  pid_t pid;
  if (posix_spawn(&pid, executable, &actions, NULL, child_argv, environ) != 0)
    fail("cannot start the child");
  close(ends[1]);

  struct capture out = {NULL, 0, 0};
  char* discard = discarding ? grow(NULL, read_size) : NULL;
  for (;;) {
    ssize_t got = read(ends[0], discarding ? discard : read_target(&out), read_size);
    if (got <= 0)
      break;
    out.size += (size_t)got;
  }
  int wait_status = 0;
  if (waitpid(pid, &wait_status, 0) != pid)
    fail("cannot wait for the child");
  uint32_t code = WIFSIGNALED(wait_status) ? signal_code(WTERMSIG(wait_status))
                                           : (uint32_t)WEXITSTATUS(wait_status);
  if (discarding) {
    char count[32];
    int length = snprintf(count, sizeof count, "%zu", out.size);
    out.size = 0;
    write_bytes(file, count, (size_t)length);
  }
  int status = finish(file, &out, code);
  close(file);
  return status;
}

#endif
