/* The host's published interface: the core table, the five function tables and the handshake
 * records. The only host header that plug-in code includes.
 *
 * Every table function returns an HErrorCode: 0 for success, otherwise a code whose text the
 * core table's GetErrorText gives. Results are written to out parameters only on success. No
 * function lets an exception escape. Text arguments are zero-terminated unless a byte count is
 * passed with them; PDF texts (strings, names, passwords, alert messages) are Windows-1252 bytes.
 *
 * Tables are granted by version: the core table's ImportFunctionTable(atom of the table name,
 * version) answers a table of at least the requested version or kHErrNotFound.
 */
#ifndef TESSER_HOSTAPI_HOSTAPI_H
#define TESSER_HOSTAPI_HOSTAPI_H

#include "hostapi/HostTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define HOST_HANDSHAKE_VERSION 0x20000u
#define HOST_TABLE_VERSION_2_0 0x20000u
#define HOST_TABLE_VERSION_2_1 0x20001u
#define HOST_TABLE_VERSION_2_2 0x20002u

#define HOST_TABLE_ACROSUPPORT "AcroSupport"
#define HOST_TABLE_COS "Cos"
#define HOST_TABLE_PDMODEL "PDModel"
#define HOST_TABLE_ACROVIEW "AcroView"
#define HOST_TABLE_WIN "Win"

/* Core table: atoms, callbacks, table import and error texts. */
typedef struct HostCoreTable {
    uint32_t size;    /* sizeof(HostCoreTable) */
    uint32_t version; /* 0x20000 */
    HErrorCode (*CreateAtom)(const char* text, HAtom* atom);
    /* Copies the atom's text (zero-terminated, cut to bufferSize - 1 bytes). */
    HErrorCode (*GetAtomText)(HAtom atom, char* buffer, size_t bufferSize);
    HErrorCode (*MakeCallback)(HExtensionID extension, void (*proc)(void), HCallback* callback);
    HErrorCode (*ImportFunctionTable)(HAtom tableName, uint32_t version, const void** table);
    /* Copies the text of an error code (zero-terminated, cut to bufferSize - 1 bytes). Never
     * fails: an unknown code gives a text that says so. */
    void (*GetErrorText)(HErrorCode code, char* buffer, size_t bufferSize);
} HostCoreTable;

/* "AcroSupport": paths, file systems, memory streams. */
typedef struct HostSupportTable {
    uint32_t size;
    uint32_t version;
    HErrorCode (*GetDefaultFileSystem)(HFileSys* fileSystem);
    /* platformPath is a UTF-8 file-system path. */
    HErrorCode (*PathFromPlatformPath)(HFileSys fileSystem, const char* platformPath, HPath* path);
    HErrorCode (*ReleasePath)(HFileSys fileSystem, HPath path);
    /* The stream reads the bytes in place: they must outlive the stream. Any length. */
    HErrorCode (*OpenMemoryReadStream)(const char* bytes, size_t length, HStream* stream);
    HErrorCode (*CloseStream)(HStream stream);
} HostSupportTable;

/* Called by DictEnumerate for each entry of a dictionary; answering 0 stops the enumeration. */
typedef HBool (*HDictVisitor)(HAtom key, HObject value, void* clientData);

/* "Cos": PDF objects. Direct objects created with indirect = 0 belong to the Cos document and are
 * copied into place by DictPut, ArrayPut and ArrayInsert (as PDF direct objects are).
 *
 * The entries after GetCatalog were added later: a caller checks that the table's size covers
 * an entry (and that it is not null) before calling it.
 *
 * Handle lifetimes. An indirect object has one handle at a time: asking for it again answers the
 * same handle. The handle of an indirect object made through this table (an indirect New...
 * call) lives as long as its document. Any other object handle of a document (an indirect
 * object found in the document, a direct object, new or found), and a font handle
 * (EnumeratePageFonts) of a direct font dictionary, lives until the document closes, unless it
 * was handed out while an object scope of that document was open (PDModel's BeginObjectScope):
 * then it lives until the innermost scope open at the time ends, and a found indirect object
 * asked for after that gets a new handle. Font handles of indirect font dictionaries live as
 * long as the document.
 * Objects made with no document (doc null) and the null object of NewNull live as long as the
 * host. A handle used after its end is refused with the error "Bad object handle." ("Bad font
 * handle."), never misread. Ending a handle never changes the document: stored copies and
 * indirect objects stay. */
typedef struct HostCosTable {
    uint32_t size;
    uint32_t version;
    HErrorCode (*GetObjectType)(HObject object, int32_t* type);
    HErrorCode (*ObjectsEqual)(HObject a, HObject b, HBool* equal);
    HErrorCode (*GetNameAtom)(HObject name, HAtom* atom);
    HErrorCode (*GetFixedValue)(HObject number, HFixed* value);
    HErrorCode (*GetBooleanValue)(HObject boolean, HBool* value);
    HErrorCode (*GetIntegerValue)(HObject integer, int32_t* value);
    /* Copies at most bufferSize bytes of a string object; *length is the full length. */
    HErrorCode (*GetStringValue)(HObject string, char* buffer, size_t bufferSize, size_t* length);

    HErrorCode (*NewNull)(HObject* object);
    HErrorCode (*NewInteger)(HCosDoc doc, HBool indirect, int32_t value, HObject* object);
    HErrorCode (*NewFixed)(HCosDoc doc, HBool indirect, HFixed value, HObject* object);
    HErrorCode (*NewBoolean)(HCosDoc doc, HBool indirect, HBool value, HObject* object);
    HErrorCode (*NewName)(HCosDoc doc, HBool indirect, HAtom name, HObject* object);
    HErrorCode (*NewString)(HCosDoc doc, HBool indirect, const char* bytes, size_t length,
                            HObject* object);
    HErrorCode (*NewArray)(HCosDoc doc, HBool indirect, int32_t initialSize, HObject* object);
    HErrorCode (*NewDict)(HCosDoc doc, HBool indirect, int32_t initialSize, HObject* object);
    /* Reads sourceLength bytes from source starting at sourceOffset; the attribute dictionary
     * becomes the stream dictionary. decode != 0 means the bytes are stored as given (no filter
     * is applied by the host). parameters may be the null object. */
    HErrorCode (*NewStream)(HCosDoc doc, HBool indirect, HStream source, int64_t sourceOffset,
                            HBool decode, HObject attributes, HObject parameters,
                            int64_t sourceLength, HObject* object);
    /* Removes an indirect object from its document (its number becomes free). */
    HErrorCode (*DestroyObject)(HObject object);
    /* Copies the decoded data of a stream object; *length is the full length. */
    HErrorCode (*GetStreamData)(HObject stream, char* buffer, size_t bufferSize, size_t* length);

    HErrorCode (*DictKnown)(HObject dict, HAtom key, HBool* known);
    /* Absent keys give the null object. A stream object answers for its dictionary. */
    HErrorCode (*DictGet)(HObject dict, HAtom key, HObject* value);
    HErrorCode (*DictPut)(HObject dict, HAtom key, HObject value);
    HErrorCode (*DictRemove)(HObject dict, HAtom key);

    HErrorCode (*ArrayLength)(HObject array, int32_t* length);
    HErrorCode (*ArrayGet)(HObject array, int32_t index, HObject* element);
    /* index == length appends. */
    HErrorCode (*ArrayPut)(HObject array, int32_t index, HObject element);
    HErrorCode (*ArrayInsert)(HObject array, int32_t index, HObject element);
    /* Removes the first element equal (ObjectsEqual) to element. */
    HErrorCode (*ArrayRemove)(HObject array, HObject element);

    HErrorCode (*GetCatalog)(HCosDoc doc, HObject* catalog);

    /* The document's information dictionary (the trailer's Info), or the null object when the
     * document has none. Unlike GetDocInfo this tells an absent entry from an empty one. */
    HErrorCode (*GetInfoDict)(HCosDoc doc, HObject* info);
    /* Takes the information dictionary out of the trailer (nothing happens when there is none).
     * SetDocInfo makes a new one when it is needed again. */
    HErrorCode (*RemoveInfoDict)(HCosDoc doc);
    /* Calls visitor for each entry of the dictionary (a stream answers for its dictionary), in
     * byte order of the keys, until it answers 0. The entries are those the dictionary held when
     * the call began: what the visitor changes in it does not change the enumeration. Entries
     * whose value is null count as absent and are not visited. */
    HErrorCode (*DictEnumerate)(HObject dict, HDictVisitor visitor, void* clientData);
    /* The object number of an indirect object (at least 1), or 0 for a direct object. Two
     * handles of one document with the same number are the same object. */
    HErrorCode (*GetObjectNumber)(HObject object, int32_t* number);
} HostCosTable;

/* "PDModel": documents, pages, fonts, document info, security. */
typedef struct HostModelTable {
    uint32_t size;
    uint32_t version;
    /* Opens a PDF file. authProc (may be null) is called during the open with the document; it
     * may call Authorise. A file that needs a password opens only if Authorise with its user or
     * owner password was called by authProc; authProc answering false makes the open fail. */
    HErrorCode (*OpenDocument)(HPath path, HFileSys fileSystem, HAuthProc authProc,
                               void* clientData, HBool repairQuietly, HDoc* doc);
    /* Writes the document over path atomically (see host/DocumentSaver.h). */
    HErrorCode (*SaveDocument)(HDoc doc, int32_t flags, HPath path, HFileSys fileSystem);
    HErrorCode (*CloseDocument)(HDoc doc);
    HErrorCode (*GetCosDocument)(HDoc doc, HCosDoc* cosDoc);
    HErrorCode (*GetDocumentFlags)(HDoc doc, int32_t* flags);
    HErrorCode (*SetDocumentFlags)(HDoc doc, int32_t flags);
    HErrorCode (*ClearDocumentFlags)(HDoc doc, int32_t flags);
    /* entry is a key of the information dictionary; copies at most bufferSize bytes of its
     * string value; *length is the number of bytes copied, 0 when absent. */
    HErrorCode (*GetDocInfo)(HDoc doc, const char* entry, char* buffer, size_t bufferSize,
                             size_t* length);
    HErrorCode (*SetDocInfo)(HDoc doc, const char* entry, const char* bytes, size_t length);

    HErrorCode (*GetPageCount)(HDoc doc, int32_t* count);
    HErrorCode (*AcquirePage)(HDoc doc, int32_t index, HPage* page);
    HErrorCode (*ReleasePage)(HPage page);
    HErrorCode (*GetPageNumber)(HPage page, int32_t* index);
    HErrorCode (*GetPageDocument)(HPage page, HDoc* doc);
    HErrorCode (*GetPageCosObject)(HPage page, HObject* pageDict);
    /* The page's own resource dictionary: inherited resources are copied into the page first. */
    HErrorCode (*GetPageResources)(HPage page, HObject* resources);
    HErrorCode (*GetPageMediaBox)(HPage page, HFixedRect* box);
    HErrorCode (*GetPageCropBox)(HPage page, HFixedRect* box);
    HErrorCode (*NotifyPageContentsChanged)(HPage page, HBool flag);

    /* Calls visitor for each font resource of the page (inherited ones included) until it
     * answers 0. */
    HErrorCode (*EnumeratePageFonts)(HPage page, HFontVisitor visitor, void* clientData);
    /* The font's BaseFont, zero-terminated, cut to bufferSize - 1 bytes. */
    HErrorCode (*GetFontName)(HFont font, char* buffer, size_t bufferSize);
    /* 256 widths in thousandths of the font size, WinAnsiEncoding order for standard fonts. */
    HErrorCode (*GetFontWidths)(HFont font, int16_t widths[256]);
    HErrorCode (*GetFontObject)(HFont font, HObject* fontDict);
    /* category is "Font"; adds the object under resourceName to the page's own resources. */
    HErrorCode (*AddPageResource)(HPage page, const char* category, const char* resourceName,
                                  HObject object);
    HErrorCode (*TranslateText)(const char* in, char* out, size_t length);

    /* Security. Null results (no error) mean "none". */
    HErrorCode (*GetSecurityData)(HDoc doc, void** data);
    HErrorCode (*GetSecurityHandlerName)(HDoc doc, HAtom* name); /* atom of "None" if unsecured */
    /* password is Windows-1252 bytes, zero-terminated; answers the granted permission bits. */
    HErrorCode (*Authorise)(HDoc doc, int32_t requested, const char* password, int32_t* granted);
    HErrorCode (*GetDocumentPermissions)(HDoc doc, int32_t* granted);
    /* Copies the present standard security record (kHSecurityRecordSize bytes) into record;
     * *present is 0 when the document has no standard security. */
    HErrorCode (*GetStandardSecurityData)(HDoc doc, unsigned char* record, HBool* present);
    HErrorCode (*SetSecurityHandler)(HDoc doc, HAtom handlerName);
    /* A zeroed record of kHSecurityRecordSize bytes owned by the host until the document closes. */
    HErrorCode (*NewSecurityData)(HDoc doc, unsigned char** record);
    HErrorCode (*SetSecurityData)(HDoc doc, const unsigned char* record);

    /* Object scopes bound the handles a long pass is handed, such as one page after another
     * (handle lifetimes: see the "Cos" table). BeginObjectScope opens a scope of the document
     * and answers its depth (1 for the outermost). EndObjectScope ends that scope and any scope
     * opened inside it and still open; the handles that belong to them become invalid. Added
     * after the first release: a caller checks that the table's size covers them. */
    HErrorCode (*BeginObjectScope)(HDoc doc, int32_t* scope);
    HErrorCode (*EndObjectScope)(HDoc doc, int32_t scope);
} HostModelTable;

/* "AcroView": views, menus, alerts, printing. */
typedef struct HostViewTable {
    uint32_t size;
    uint32_t version;
    HErrorCode (*GetActiveDocument)(HDoc* doc); /* null when none is open */
    HErrorCode (*GetActiveView)(HView* view);   /* null when none is open */
    HErrorCode (*GetViewDocument)(HView view, HDoc* doc);
    HErrorCode (*OpenView)(HDoc doc, HView* view);
    HErrorCode (*CloseView)(HView view, HBool flag);
    HErrorCode (*GetAppPreference)(int32_t preference, int32_t* value);
    /* Prints pages first..last (0-based) of the document shown in the view. */
    HErrorCode (*PrintPages)(HView view, int32_t first, int32_t last, int32_t preference,
                             HBool showDialog, HBool shrinkToFit);

    HErrorCode (*GetMenuBar)(HMenuBar* menuBar);
    HErrorCode (*AcquireMenu)(HMenuBar menuBar, const char* menuName, HMenu* menu);
    HErrorCode (*NewMenuItem)(const char* title, const char* itemName, HMenu submenu,
                              HBool longMenusOnly, int32_t shortcut, int32_t shortcutFlags,
                              void* icon, HExtensionID extension, HMenuItem* item);
    HErrorCode (*SetMenuItemExecuteProc)(HMenuItem item, HCallback proc, void* clientData);
    HErrorCode (*SetMenuItemEnableProc)(HMenuItem item, HCallback proc, void* clientData);
    HErrorCode (*AddMenuItem)(HMenu menu, HMenuItem item, int32_t position);
    HErrorCode (*ReleaseMenu)(HMenu menu);

    /* Messages go to the message sink the program set (message boxes, terminal, recorder). */
    HErrorCode (*ShowAlert)(int32_t iconKind, const char* message, const char* button1,
                            const char* button2, const char* button3, int32_t* answer);
    /* answer: 0 Cancel, 1 OK. */
    HErrorCode (*ConfirmAlert)(const char* message, int32_t* answer);
    HErrorCode (*ShowNote)(const char* message);
} HostViewTable;

/* "Win": host windows and modeless windows. Window handles are the toolkit's own. */
typedef struct HostWinTable {
    uint32_t size;
    uint32_t version;
    HErrorCode (*GetMainWindow)(void** window);
    HErrorCode (*CreateHostWindow)(int32_t layer, int32_t flags, void* handler,
                                   HExtensionID extension, void* window, HHostWindow* hostWindow);
    HErrorCode (*EndHostWindow)(void);
    HErrorCode (*RegisterModelessWindow)(void* window);
    HErrorCode (*UnregisterModelessWindow)(void* window);
} HostWinTable;

/* Handshake records. */
typedef struct HostAppData {
    void* mainWindow; /* the host's main window (toolkit handle), or null */
    void* reserved;
} HostAppData;

typedef HBool (*HostRegistrationProc)(uint32_t version, struct HostRegistrationRecord* record);

typedef struct HostHandshakeRecord {
    uint32_t version; /* HOST_HANDSHAKE_VERSION */
    HExtensionID extension;
    const HostCoreTable* core;
    HCallback registration; /* set by the plug-in: a callback of HostRegistrationProc */
} HostHandshakeRecord;

typedef struct HostRegistrationRecord {
    HAtom extensionName;
    void* hostReserved;   /* left as the host supplied it */
    HCallback further;    /* HPlainProc */
    HCallback initialise; /* HPlainProc */
    HCallback unload;     /* HPlainProc */
} HostRegistrationRecord;

typedef HBool (*HostHandshakeProc)(uint32_t handshakeVersion, HostHandshakeRecord* record);

/* The module's exported entry. */
typedef HBool (*HostPlugInMainProc)(uint32_t hostVersion, uint32_t* moduleVersion,
                                    HostHandshakeProc* handshake, const HostAppData* appData,
                                    const uint32_t pair[2]);

#ifdef __cplusplus
}
#endif

#endif
