/* Quorvel plug-in interface: the twelve exports every plug-in module (.qpl)
 * offers and the two host callbacks the launcher hands to each of them.
 *
 * Integers are 32-bit. A boolean result is false when its lowest byte is 0.
 * Strings are NUL-terminated CP932 byte strings owned by the caller and valid
 * only during the call; whoever keeps one copies it. Every call in either
 * direction happens on the GUI thread.
 *
 * A plug-in includes this header and defines the twelve functions; they are
 * exported by QV_PLUGIN_EXPORT (plug-ins are built with hidden visibility). */
#ifndef QUORVEL_PLUGIN_API_H
#define QUORVEL_PLUGIN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QV_PLUGIN_EXPORT __attribute__((visibility("default")))

typedef int32_t QvBool;

/* An icon handle points to a QIcon that the plug-in owns and keeps alive until
 * PluginFinalize. The launcher copies the icon and never frees the handle. */
typedef void* QvIconHandle;

/* Parameter requests (kind, value). The call returns when the work is over. */
enum {
  QV_PARAM_RESET_STATUS = 0,  /* 0/0: restore the launcher's idle status line */
  QV_PARAM_MAIL_SESSION = 1,  /* 1/1..1/5: see QV_MAIL_* */
  QV_PARAM_RELOAD_THEME = 4,  /* 4/1: reload the current theme into the banner */
  QV_PARAM_READ_HANDSET = 5,  /* 5/n: read handset data of kind n into the exchange file */
  QV_PARAM_WRITE_HANDSET = 6, /* 6/n: write the exchange file of kind n to the handset */
  QV_PARAM_WARNING = 10       /* 10/code: show the warning "W" + code in five digits */
};
enum {
  QV_MAIL_SEND_QUEUE = 1,
  QV_MAIL_SELECTIVE_RECEIVE = 2,
  QV_MAIL_RECEIVE_ALL = 3,
  QV_MAIL_SEND_AND_RECEIVE = 4,
  QV_MAIL_DIRECT_ONLY = 5
};
/* Text requests (kind, text, size). */
enum {
  QV_STR_TO_BOOKMARKS = 2,  /* hand the text to the bookmark plug-in */
  QV_STR_TO_ADDRESS = 3,    /* hand the text to the phone-book plug-in */
  QV_STR_NOTICE = 10        /* show the text in the notice window */
};
/* Handset data kinds of requests 5 and 6. */
enum {
  QV_DATA_PHONE_BOOK = 1,
  QV_DATA_KMAIL_HISTORY = 4,   /* Kメール and ブリーズメール history */
  QV_DATA_KMAILDX_HISTORY = 6, /* KメールDX history */
  QV_DATA_BOOKMARKS = 8
};

/* The launcher's callbacks. The text callback copies text up to its NUL,
 * ignores size and always answers 1. */
typedef QvBool (*QvHostParamCallback)(int32_t kind, int32_t value);
typedef int32_t (*QvHostStrCallback)(int32_t kind, const char* text, int32_t size);

/* The exports, called by the launcher: */
QV_PLUGIN_EXPORT QvBool PluginInitialize(void);  /* after both callbacks; false drops the plug-in */
QV_PLUGIN_EXPORT QvBool PluginFinalize(void);    /* once, before the module is unloaded */
QV_PLUGIN_EXPORT QvBool ShowForm(void);          /* each time the user opens the plug-in */
QV_PLUGIN_EXPORT QvBool CloseForm(void);         /* before the launcher exits; false vetoes */
QV_PLUGIN_EXPORT QvBool SetParam(int32_t id, int32_t value);                /* never called */
QV_PLUGIN_EXPORT int32_t SetStr(int32_t id, const char* text, int32_t size); /* size = length + 1 */
QV_PLUGIN_EXPORT QvBool GetParam(int32_t id, int32_t* value);               /* never called */
QV_PLUGIN_EXPORT QvBool GetStr(int32_t id, char* buffer, int32_t size);     /* never called */
QV_PLUGIN_EXPORT QvBool GetIcon(QvIconHandle* icon);
/* *size is the buffer's size in bytes (the launcher passes 256). */
QV_PLUGIN_EXPORT QvBool GetPluginName(char* buffer, int32_t* size);
/* 1 stored, 0 cleared (null given). Called once while loading. */
QV_PLUGIN_EXPORT int32_t CallBackParam(QvHostParamCallback callback);
QV_PLUGIN_EXPORT int32_t CallBackStr(QvHostStrCallback callback);

typedef QvBool (*QvPluginInitializeFn)(void);
typedef QvBool (*QvPluginFinalizeFn)(void);
typedef QvBool (*QvShowFormFn)(void);
typedef QvBool (*QvCloseFormFn)(void);
typedef QvBool (*QvSetParamFn)(int32_t, int32_t);
typedef int32_t (*QvSetStrFn)(int32_t, const char*, int32_t);
typedef QvBool (*QvGetParamFn)(int32_t, int32_t*);
typedef QvBool (*QvGetStrFn)(int32_t, char*, int32_t);
typedef QvBool (*QvGetIconFn)(QvIconHandle*);
typedef QvBool (*QvGetPluginNameFn)(char*, int32_t*);
typedef int32_t (*QvCallBackParamFn)(QvHostParamCallback);
typedef int32_t (*QvCallBackStrFn)(QvHostStrCallback);

static inline int QvIsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

/* Copies a NUL-terminated CP932 text into buffer of size bytes: at most
 * size - 1 bytes and the NUL, never half of a double-byte character. Use it
 * for GetPluginName and GetStr. False when there is no room at all. */
static inline QvBool QvCopyText(const char* text, char* buffer, int32_t size) {
  if (!buffer || size < 1) return 0;
  int32_t n = 0;
  if (text) {
    while (text[n] != '\0') {
      int32_t len = (QvIsLeadByte((unsigned char)text[n]) && text[n + 1] != '\0') ? 2 : 1;
      if (n + len > size - 1) break;
      n += len;
    }
    for (int32_t i = 0; i < n; ++i) buffer[i] = text[i];
  }
  buffer[n] = '\0';
  return 1;
}

#ifdef __cplusplus
}
#endif

#endif /* QUORVEL_PLUGIN_API_H */
