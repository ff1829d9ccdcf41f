// String utilities shared by the readers: separator-blind name comparison, hashing, name lists.
#include <cstring>

#include "util/util.h"

namespace qor {

static int fold_upper(char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }
static bool is_separator(char c) { return c == '-' || c == '_'; }

int capscomp(const char *a, const char *b) {
  int i = 0, j = 0;
  while (a[i] != '\0' && b[j] != '\0') {
    if (is_separator(a[i])) {
      i++;
    } else if (is_separator(b[j])) {
      j++;
    } else {
      if (fold_upper(a[i]) != fold_upper(b[j])) break;
      i++;
      j++;
    }
  }
  if (a[i] == b[j]) return 0;
  return static_cast<signed char>(fold_upper(a[i])) > static_cast<signed char>(fold_upper(b[j])) ? 1 : -1;
}

int32_t hash_string(const char *s) {
  uint32_t h = 0;
  for (; *s != '\0'; s++) h = 9u * h + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*s)));
  return static_cast<int32_t>(h);
}

static bool is_list_separator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == ',';
}

NameList *parse_name_list(const char *s) {
  if (s == nullptr) s = "";
  int count = 0;
  for (int i = 0; s[i] != '\0'; i++)
    if (!is_list_separator(s[i]) && (i == 0 || is_list_separator(s[i - 1]))) count++;
  size_t textlen = strlen(s);
  size_t header = sizeof(NameList);
  size_t ptrs = (static_cast<size_t>(count) + 1) * sizeof(char *);
  size_t total = header + ptrs + textlen + 1;
  if (total > 0x7ffffff0u) error("out of memory allocating %zu bytes", total);
  char *block = static_cast<char *>(mem_alloc(static_cast<int>(total)));
  NameList *list = reinterpret_cast<NameList *>(block);
  list->count = count;
  list->names = reinterpret_cast<char **>(block + header);
  char *copy = block + header + ptrs;
  memcpy(copy, s, textlen + 1);
  int k = 0;
  for (size_t i = 0; i < textlen; i++) {
    if (is_list_separator(copy[i])) {
      copy[i] = '\0';
    } else if (i == 0 || copy[i - 1] == '\0') {
      list->names[k++] = copy + i;
    }
  }
  list->names[count] = nullptr;
  return list;
}

}  // namespace qor
