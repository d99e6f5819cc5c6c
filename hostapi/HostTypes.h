/* Handle types, atoms, error codes and constants of the host's published interface.
 *
 * Everything here is plain C so that a plug-in module built by any compiler can use it.
 * Handles are opaque: only the host knows what they point to. A handle stays valid until the
 * operation that releases it (ReleasePage, CloseDocument, ReleasePath, ...) or, for object
 * handles, until the document that owns the object is closed.
 */
#ifndef TESSER_HOSTAPI_HOSTTYPES_H
#define TESSER_HOSTAPI_HOSTTYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint16_t HAtom;     /* 0 is never a valid atom */
typedef int32_t HErrorCode; /* 0: success; anything else: GetErrorText tells what failed */
typedef int32_t HBool;      /* 0 false, 1 true */
typedef int32_t HFixed;     /* 16.16 fixed point */

typedef struct HObjectRec* HObject;   /* a PDF object (direct or indirect) */
typedef struct HCosDocRec* HCosDoc;   /* the object store of a document */
typedef struct HDocRec* HDoc;         /* an open document */
typedef struct HPageRec* HPage;       /* an acquired page */
typedef struct HFontRec* HFont;       /* a font resource of a page */
typedef struct HStreamRec* HStream;   /* a byte source (memory read stream) */
typedef struct HViewRec* HView;       /* a document shown in a view */
typedef struct HPathRec* HPath;       /* a host path */
typedef struct HFileSysRec* HFileSys; /* a file system */
typedef struct HMenuBarRec* HMenuBar;
typedef struct HMenuRec* HMenu;
typedef struct HMenuItemRec* HMenuItem;
typedef struct HHostWindowRec* HHostWindow;
typedef void* HCallback; /* made by MakeCallback from a procedure */
typedef uint32_t HExtensionID;

typedef struct {
    HFixed left, top, right, bottom;
} HFixedRect;

/* Object types answered by GetObjectType. */
enum {
    kHObjNull = 0,
    kHObjInteger = 1,
    kHObjReal = 2,
    kHObjBoolean = 3,
    kHObjName = 4,
    kHObjString = 5,
    kHObjDict = 6,
    kHObjArray = 7,
    kHObjStream = 8
};

/* Permission bits of Authorise and GetDocumentPermissions. */
enum {
    kHPermOpen = 1,
    kHPermSecure = 2, /* change the security settings */
    kHPermPrint = 4,
    kHPermEdit = 8,       /* change the document */
    kHPermCopy = 16,      /* select and copy text and graphics */
    kHPermEditNotes = 32, /* add or change notes and form fields */
    kHPermAll = 0x3F,
    /* The bits a document's own permissions (what its user password gives) grant or withhold. */
    kHPermUserBits = kHPermPrint | kHPermEdit | kHPermCopy | kHPermEditNotes,
    /* What a run asks for to open a document and change it (9), and to change its security
     * too (11). */
    kHPermOpenToEdit = kHPermOpen | kHPermEdit,
    kHPermOpenToEditSecurity = kHPermOpenToEdit | kHPermSecure
};

/* Preferences answered by GetAppPreference. */
enum {
    kHPrefPrint = 15 /* the print settings: passed on to PrintPages as they are */
};

/* SaveDocument flags. */
enum {
    kHSaveFull = 1,       /* full rewrite, unreferenced objects dropped */
    kHSaveLinearized = 4, /* optimised for the web (linearised) */
    kHSaveCollectGarbage = 32,
    kHSaveIncremental = 64, /* the changes appended to the file the document was read from;
                               alone, never with the three above */
    kHSaveCheckOnly = 128   /* with the flags of a save: makes every check that save makes
                               before it writes, and writes nothing */
};

/* Document flag word. */
enum {
    kHDocNeedsSave = 1,  /* unsaved changes */
    kHDocNewSecurity = 2 /* the next save writes the security data set with SetSecurityData */
};

/* Icon kinds of ShowAlert. */
enum { kHAlertError = 1, kHAlertInfo = 3 };

/* Size of the standard security record exchanged by GetStandardSecurityData, NewSecurityData and
 * SetSecurityData (layout: see docsettings/SecuritySettings.h and host/Security). */
enum { kHSecurityRecordSize = 528 };

/* Error codes. The host keeps a text for every code it hands out: fixed texts for the codes
 * below, and a specific text (naming the file, giving the PDF library's message) for codes it
 * allocates at run time, which are numbered from kHErrFirstDynamic upwards. */
enum {
    kHErrNone = 0,
    kHErrGeneral = 1,      /* "An internal error occurred." */
    kHErrBadParameter = 2, /* "Bad parameter." */
    kHErrNoMemory = 3,     /* "Out of memory." */
    kHErrBadObject = 4,    /* "The object is not of the expected type." */
    kHErrNotFound = 5,     /* "The requested item was not found." */
    kHErrFault = 6,        /* "Injected fault." (the test fault switch) */
    kHErrFirstDynamic = 1000
};

/* Procedures the host calls back. The client data is the pointer given with the procedure. */
typedef HBool (*HAuthProc)(HDoc doc, void* clientData);
typedef HBool (*HFontVisitor)(HFont font, HAtom resourceName, void* clientData); /* 0 stops */
typedef void (*HMenuProc)(void* clientData);
typedef HBool (*HMenuEnableProc)(void* clientData);
typedef HBool (*HPlainProc)(void);

#ifdef __cplusplus
}
#endif

#endif
