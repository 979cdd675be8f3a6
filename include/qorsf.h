/*
 * QOR High Level Fax Library (module QORSF): the public interface.
 *
 * Every SF_ function except SF_strcmp and SF_checkphonenum takes the host
 * handle first: a 32-bit memory handle of the host (a block of at least
 * 612 bytes whose 32-bit word at byte 608 is the host's owner window). The
 * library passes it on unchanged. A status is a signed 16-bit value; 0 is
 * success. WN_ functions are dialog procedures with the Win32 signature.
 *
 * The records below cross the interface or live in files: their layouts are
 * fixed to the byte (packed, little-endian integers, NUL-terminated texts in
 * fixed fields) and checked at compile time.
 */
#ifndef QORSF_H
#define QORSF_H

#include <stddef.h>
#include <stdint.h>

#include "qorwintypes.h"

#ifdef __cplusplus
#define QORSF_EXTERN_C extern "C"
#define QORSF_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define QORSF_EXTERN_C
#define QORSF_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif

#define QORSF_API QORSF_EXTERN_C __attribute__((visibility("default")))

#define QORSF_CHECK_SIZE(T, n) QORSF_STATIC_ASSERT(sizeof(T) == (n), #T " must be " #n " bytes")
#define QORSF_CHECK_AT(T, f, n) \
    QORSF_STATIC_ASSERT(offsetof(T, f) == (n), #T "." #f " must lie at byte " #n)

/* ---- Status codes of the library ---------------------------------------------------------- */

enum {
    SF_OK = 0,
    SF_CANCELLED = 13000,          /* cancelled by the user; also: no recipient */
    SF_TOOMANYDOCS = 13001,        /* more than 100 documents; a layout word misused as a key */
    SF_WRONGSTATE = 13002,         /* wrong state, or a job control file cannot be created */
    SF_NODIALOG = 13071,           /* a dialog cannot be created */
    SF_NOTEMPLATE = 13102,         /* a cover template file does not exist */
    SF_BADFAXIMAGE = 20201,        /* a fax image document is not in the required form */
    SF_SETTINGSWRITE = 20202,      /* a settings file write failed */
    SF_NORECORD = 20221,           /* no phone book record with that name or group */
    SF_EXISTS = 20222,             /* the group exists, or the name is already in the group */
    SF_DIALSTRINGLONG = 20251,     /* dial string of 50 characters or more */
    SF_JOBLINELONG = 20252,        /* job control file line longer than 78 characters */
    SF_NOTHINGLISTED = 20310,      /* the queue window found nothing to list */
    SF_STOREFAILED = 20450         /* any failure of the phone book record store */
};

/* ---- Shared records ------------------------------------------------------------------------ */

#pragma pack(push, 1)

/* Date-time: six signed 16-bit fields; all zero means "as soon as possible". */
typedef struct SF_DATETIME {
    int16_t year;   /* four digits */
    int16_t month;  /* 1-12 */
    int16_t day;    /* 1-31 */
    int16_t hour;   /* 0-23 */
    int16_t minute; /* 0-59 */
    int16_t second; /* 0-59 */
} SF_DATETIME;
QORSF_CHECK_SIZE(SF_DATETIME, 12);

/* A phone book entry: nine NUL-terminated texts, each one longer than its longest value. */
typedef struct PB_ENTRY {
    char number[31];      /* fax number */
    char name[31];        /* the person's name */
    char company[61];
    char text1[61];
    char text2[61];
    char voice[31];       /* voice telephone number */
    char text3[81];
    char altnumber[31];   /* a third telephone number */
    char othernumber[31]; /* a fourth telephone number */
} PB_ENTRY;
QORSF_CHECK_SIZE(PB_ENTRY, 419);
QORSF_CHECK_AT(PB_ENTRY, number, 0);
QORSF_CHECK_AT(PB_ENTRY, name, 31);
QORSF_CHECK_AT(PB_ENTRY, company, 62);
QORSF_CHECK_AT(PB_ENTRY, text1, 123);
QORSF_CHECK_AT(PB_ENTRY, text2, 184);
QORSF_CHECK_AT(PB_ENTRY, voice, 245);
QORSF_CHECK_AT(PB_ENTRY, text3, 276);
QORSF_CHECK_AT(PB_ENTRY, altnumber, 357);
QORSF_CHECK_AT(PB_ENTRY, othernumber, 388);

/* The stored form of a person's details: fixed columns padded with spaces, no terminators. */
typedef struct PB_INFO {
    char number[30];
    char voice[30];
    char altnumber[30];
    char othernumber[30];
    char company[60];
    char text1[60];
    char text2[60];
    char text3[80];
    char spare[280]; /* always spaces */
} PB_INFO;
QORSF_CHECK_SIZE(PB_INFO, 660);
QORSF_CHECK_AT(PB_INFO, number, 0);
QORSF_CHECK_AT(PB_INFO, voice, 30);
QORSF_CHECK_AT(PB_INFO, altnumber, 60);
QORSF_CHECK_AT(PB_INFO, othernumber, 90);
QORSF_CHECK_AT(PB_INFO, company, 120);
QORSF_CHECK_AT(PB_INFO, text1, 180);
QORSF_CHECK_AT(PB_INFO, text2, 240);
QORSF_CHECK_AT(PB_INFO, text3, 300);
QORSF_CHECK_AT(PB_INFO, spare, 380);

/* One phone book record: a name, a group and a PB_INFO with its NUL. */
typedef struct PB_RECORD {
    char name[31];  /* empty in a group's own record */
    char group[31]; /* one space in a name's own record */
    char info[661]; /* a PB_INFO and its NUL; empty in group and new membership records */
} PB_RECORD;
QORSF_CHECK_SIZE(PB_RECORD, 723);
QORSF_CHECK_AT(PB_RECORD, name, 0);
QORSF_CHECK_AT(PB_RECORD, group, 31);
QORSF_CHECK_AT(PB_RECORD, info, 62);

/* The calling card texts and flags edited by the calling card dialog. */
typedef struct CC_SETUP {
    char first[26];        /* at most 25 characters */
    char second[26];       /* at most 25 characters; never empty once confirmed */
    uint32_t firstbefore;  /* 1 = dialled before the number, 0 = after it */
    uint32_t secondbefore; /* likewise for the second text */
} CC_SETUP;
QORSF_CHECK_SIZE(CC_SETUP, 60);

/* The fax parameter record; "sf.dat" holds exactly these 682 bytes. */
typedef struct SF_PARAMS {
    uint32_t ccardinuse;   /* nonzero: the calling card is dialled with every number */
    CC_SETUP ccard;
    char sendera[80];      /* "GENERAL" key 4150 */
    char senderb[80];      /* "GENERAL" key 4151 */
    char senderc[113];     /* "GENERAL" key 4153 */
    char dialprefix[31];   /* "GENERAL" key 4160 */
    char dialsuffix[31];   /* "GENERAL" key 4161 */
    char headername[80];   /* header template name, settings key 2207 */
    char footername[80];   /* footer template name, settings key 2208 */
    char spare1[111];      /* carried as read */
    uint16_t word2203;
    uint16_t word2200;
    uint16_t word2202;
    uint16_t word2201;
    uint16_t word2204;
    uint16_t spare2;       /* carried as read */
} SF_PARAMS;
QORSF_CHECK_SIZE(SF_PARAMS, 682);
QORSF_CHECK_AT(SF_PARAMS, ccardinuse, 0);
QORSF_CHECK_AT(SF_PARAMS, ccard.first, 4);
QORSF_CHECK_AT(SF_PARAMS, ccard.second, 30);
QORSF_CHECK_AT(SF_PARAMS, ccard.firstbefore, 56);
QORSF_CHECK_AT(SF_PARAMS, ccard.secondbefore, 60);
QORSF_CHECK_AT(SF_PARAMS, sendera, 64);
QORSF_CHECK_AT(SF_PARAMS, senderb, 144);
QORSF_CHECK_AT(SF_PARAMS, senderc, 224);
QORSF_CHECK_AT(SF_PARAMS, dialprefix, 337);
QORSF_CHECK_AT(SF_PARAMS, dialsuffix, 368);
QORSF_CHECK_AT(SF_PARAMS, headername, 399);
QORSF_CHECK_AT(SF_PARAMS, footername, 479);
QORSF_CHECK_AT(SF_PARAMS, spare1, 559);
QORSF_CHECK_AT(SF_PARAMS, word2203, 670);
QORSF_CHECK_AT(SF_PARAMS, word2200, 672);
QORSF_CHECK_AT(SF_PARAMS, word2202, 674);
QORSF_CHECK_AT(SF_PARAMS, word2201, 676);
QORSF_CHECK_AT(SF_PARAMS, word2204, 678);
QORSF_CHECK_AT(SF_PARAMS, spare2, 680);

/* The cover sheet record of one send. */
typedef struct COVER_SHEET {
    char headerlogo[80];
    char footerlogo[80];
    char sendera[80];
    char senderb[80];
    char senderc[80];
    char recipient1[80];
    char recipient2[80];
    char recipient3[80];
    char recipient4[80];
    uint32_t memo;          /* memory handle of the memo text, 0 = none */
    uint16_t reserved;
    int16_t templatenumber; /* 0 = none */
    char previewfile[20];   /* the cover page file made for the preview */
} COVER_SHEET;
QORSF_CHECK_SIZE(COVER_SHEET, 748);
QORSF_CHECK_AT(COVER_SHEET, sendera, 160);
QORSF_CHECK_AT(COVER_SHEET, recipient1, 400);
QORSF_CHECK_AT(COVER_SHEET, recipient4, 640);
QORSF_CHECK_AT(COVER_SHEET, memo, 720);
QORSF_CHECK_AT(COVER_SHEET, templatenumber, 726);
QORSF_CHECK_AT(COVER_SHEET, previewfile, 728);

/* One send's choices, handed to SF_sendfax and SF_faxfolder. Zero-filled before use. */
typedef struct SendOptions {
    uint32_t jobNumber;          /* out: the job number of the last job submitted */
    uint16_t deleteAfterSend;
    uint16_t fineResolution;
    uint16_t coverPerRecipient;
    uint16_t altDocumentKeyword;
    SF_DATETIME sendTime;        /* all zero = as soon as possible */
    char note[80];
    char sender[33];
    char recipientName[31];
    char dialPrefix[31];
    char dialSuffix[31];
    COVER_SHEET coverInfo;
    char reserved[512];
} SendOptions;
QORSF_CHECK_SIZE(SendOptions, 1490);
QORSF_CHECK_AT(SendOptions, deleteAfterSend, 4);
QORSF_CHECK_AT(SendOptions, fineResolution, 6);
QORSF_CHECK_AT(SendOptions, coverPerRecipient, 8);
QORSF_CHECK_AT(SendOptions, altDocumentKeyword, 10);
QORSF_CHECK_AT(SendOptions, sendTime, 12);
QORSF_CHECK_AT(SendOptions, note, 24);
QORSF_CHECK_AT(SendOptions, sender, 104);
QORSF_CHECK_AT(SendOptions, recipientName, 137);
QORSF_CHECK_AT(SendOptions, dialPrefix, 168);
QORSF_CHECK_AT(SendOptions, dialSuffix, 199);
QORSF_CHECK_AT(SendOptions, coverInfo, 230);

/* One document of a send: type 1 fax image, 2 text, 5 third kind, -1 empty, other = "other". */
typedef struct DocumentEntry {
    int16_t type;
    char text[80]; /* file path, optionally a blank and the name it was copied from */
} DocumentEntry;
QORSF_CHECK_SIZE(DocumentEntry, 82);
QORSF_CHECK_AT(DocumentEntry, text, 2);

/* The job record handed to the queue for one job. */
typedef struct SendJobRecord {
    char zero1[10];
    char jobfile[80];       /* path of the job control file */
    SF_DATETIME sendTime;
    char zero2[6];
    uint16_t status;        /* 81 ('Q'): waiting in the queue */
    char zero3[8];
    char note[80];
    char number[52];        /* the number as given, not the dial string */
    char sender[34];
    char recipientName[50];
} SendJobRecord;
QORSF_CHECK_SIZE(SendJobRecord, 334);
QORSF_CHECK_AT(SendJobRecord, jobfile, 10);
QORSF_CHECK_AT(SendJobRecord, sendTime, 90);
QORSF_CHECK_AT(SendJobRecord, status, 108);
QORSF_CHECK_AT(SendJobRecord, note, 118);
QORSF_CHECK_AT(SendJobRecord, number, 198);
QORSF_CHECK_AT(SendJobRecord, sender, 250);
QORSF_CHECK_AT(SendJobRecord, recipientName, 284);

/* One job of the send queue as the queue hands it out and takes it back. */
typedef struct QUEUE_RECORD {
    char code1[12];
    char code2[12];
    uint16_t status;        /* a status letter: Q W X U S A E I D a e */
    int16_t info1;
    int32_t info2;
    int16_t progress1;
    int16_t progress2;
    uint16_t errorcode;
    int16_t info3;
    char info4[22];
    int16_t info5;
    uint32_t jobnum;        /* lowest five decimal digits of the job number */
    SF_DATETIME sendtime;
    char jobfile[62];
    char info6[72];
    int16_t info7;
    char unused1[2];
    char number[52];
    char sender[34];
    char recipient[34];
    int32_t jobnumhigh;     /* the job number's digits above the lowest five */
    char unused2[72];
    int16_t info8;
    char unused3[10];
} QUEUE_RECORD;
QORSF_CHECK_SIZE(QUEUE_RECORD, 426);
QORSF_CHECK_AT(QUEUE_RECORD, status, 24);
QORSF_CHECK_AT(QUEUE_RECORD, info1, 26);
QORSF_CHECK_AT(QUEUE_RECORD, info2, 28);
QORSF_CHECK_AT(QUEUE_RECORD, progress1, 32);
QORSF_CHECK_AT(QUEUE_RECORD, progress2, 34);
QORSF_CHECK_AT(QUEUE_RECORD, errorcode, 36);
QORSF_CHECK_AT(QUEUE_RECORD, info3, 38);
QORSF_CHECK_AT(QUEUE_RECORD, info4, 40);
QORSF_CHECK_AT(QUEUE_RECORD, info5, 62);
QORSF_CHECK_AT(QUEUE_RECORD, jobnum, 64);
QORSF_CHECK_AT(QUEUE_RECORD, sendtime, 68);
QORSF_CHECK_AT(QUEUE_RECORD, jobfile, 80);
QORSF_CHECK_AT(QUEUE_RECORD, info6, 142);
QORSF_CHECK_AT(QUEUE_RECORD, info7, 214);
QORSF_CHECK_AT(QUEUE_RECORD, number, 218);
QORSF_CHECK_AT(QUEUE_RECORD, sender, 270);
QORSF_CHECK_AT(QUEUE_RECORD, recipient, 304);
QORSF_CHECK_AT(QUEUE_RECORD, jobnumhigh, 338);
QORSF_CHECK_AT(QUEUE_RECORD, info8, 414);

/* One received fax in the log of received faxes. */
typedef struct LOG_RECORD {
    char engine1[12];
    uint16_t entrystate;  /* E: does not count as new; D once its files are deleted */
    char engine2[18];
    uint16_t viewstate;   /* D deleted, R not yet looked at */
    uint16_t printstate;  /* R or E waiting, B being printed, X printed */
    char engine3[38];
    int32_t entrynum;
    int16_t pages;
    char faxfile[80];
    char engine4[172];
} LOG_RECORD;
QORSF_CHECK_SIZE(LOG_RECORD, 332);
QORSF_CHECK_AT(LOG_RECORD, entrystate, 12);
QORSF_CHECK_AT(LOG_RECORD, viewstate, 32);
QORSF_CHECK_AT(LOG_RECORD, printstate, 34);
QORSF_CHECK_AT(LOG_RECORD, entrynum, 74);
QORSF_CHECK_AT(LOG_RECORD, pages, 78);
QORSF_CHECK_AT(LOG_RECORD, faxfile, 80);

/* One record of the delete list "delfile.lis". */
typedef struct DEL_RECORD {
    int16_t count;  /* queued sends that still need the file */
    uint8_t inuse;  /* 'n' in use, 0 free slot */
    char path[81];
} DEL_RECORD;
QORSF_CHECK_SIZE(DEL_RECORD, 84);
QORSF_CHECK_AT(DEL_RECORD, inuse, 2);
QORSF_CHECK_AT(DEL_RECORD, path, 3);

/* The data block handed to the cover form library for a form cover. */
typedef struct FORM_DATA {
    char templatepath[80];
    uint16_t documents;
    char recipient1[80];
    char recipient4[40];
    char recipient3[40];
    char recipient2[240];
    char sendera[80];
    char senderc[40];
    char config4154[40];
    char senderb[240];      /* sender text B, CR LF, "GENERAL" 4155, CR LF, 4156 */
    SF_DATETIME now;
    char empty1[240];
    char memo[3200];
    char empty2[80];
} FORM_DATA;
QORSF_CHECK_SIZE(FORM_DATA, 4414);
QORSF_CHECK_AT(FORM_DATA, documents, 80);
QORSF_CHECK_AT(FORM_DATA, recipient1, 82);
QORSF_CHECK_AT(FORM_DATA, recipient4, 162);
QORSF_CHECK_AT(FORM_DATA, recipient3, 202);
QORSF_CHECK_AT(FORM_DATA, recipient2, 242);
QORSF_CHECK_AT(FORM_DATA, sendera, 482);
QORSF_CHECK_AT(FORM_DATA, senderc, 562);
QORSF_CHECK_AT(FORM_DATA, config4154, 602);
QORSF_CHECK_AT(FORM_DATA, senderb, 642);
QORSF_CHECK_AT(FORM_DATA, now, 882);
QORSF_CHECK_AT(FORM_DATA, empty1, 894);
QORSF_CHECK_AT(FORM_DATA, memo, 1134);
QORSF_CHECK_AT(FORM_DATA, empty2, 4334);

/* The work block of a form cover: scratch texts, then the form data block. */
typedef struct FORM_WORKBLOCK {
    char scratch[240];
    FORM_DATA data;
} FORM_WORKBLOCK;
QORSF_CHECK_SIZE(FORM_WORKBLOCK, 4654);

#pragma pack(pop)

/* The phone book context of the phone book work area; its layout is the library's own. */
typedef struct SF_PBCONTEXT SF_PBCONTEXT;

/* ---- Library life --------------------------------------------------------------------------- */

QORSF_API int16_t SF_open(uint32_t hHost);
QORSF_API int16_t SF_close(uint32_t hHost);
QORSF_API int16_t SF_resetsys(uint32_t hHost, int16_t full);
QORSF_API int16_t SF_prolog(uint32_t hHost, SF_PBCONTEXT** context, uint16_t mode);
QORSF_API int16_t SF_epilog(uint32_t hHost);
QORSF_API int16_t SF_getparm(uint32_t hHost, int16_t selector, uint16_t* word);
QORSF_API int16_t SF_adjustparm(uint32_t hHost, int16_t selector, const void* value);
QORSF_API int16_t SF_getphonebookpath(uint32_t hHost, char* path /* 80 bytes */);

/* ---- Phone book ----------------------------------------------------------------------------- */

QORSF_API int16_t SF_getfirstname(uint32_t hHost, char* name /* 31 */, uint16_t* found);
QORSF_API int16_t SF_getnextname(uint32_t hHost, char* name /* 31 */, uint16_t* found);
QORSF_API int16_t SF_nametophone(uint32_t hHost, const char* name, char* info /* 660 */);
QORSF_API int16_t SF_addphone(uint32_t hHost, const char* name, const PB_RECORD* record);
QORSF_API int16_t SF_updatephone(uint32_t hHost, const char* name, const char* info /* 660 */);
QORSF_API int16_t SF_deletephone(uint32_t hHost, const char* name);
QORSF_API int SF_strcmp(const char* a, const char* b);
QORSF_API int16_t SF_removenamefromgroups(uint32_t hHost, const char* name);
QORSF_API int16_t SF_entrytoinfo(uint32_t hHost, const PB_ENTRY* entry, char* info /* 660 */);
QORSF_API int16_t SF_infotoentry(uint32_t hHost, const char* info /* 660 */, PB_ENTRY* entry);
QORSF_API int16_t SF_checkphonenum(const char* number, uint16_t* result);
QORSF_API int16_t SF_cidnumbertorec(uint32_t hHost, const char* number, uint16_t* which, PB_ENTRY* entry);
QORSF_API int16_t SF_getfirstpbrec(uint32_t hHost, PB_ENTRY* entry, uint16_t* found);
QORSF_API int16_t SF_getnextpbrec(uint32_t hHost, PB_ENTRY* entry, uint16_t* found);
QORSF_API int16_t SF_phonemain(uint32_t hHost, PB_ENTRY* entry, uint16_t mode);
QORSF_API INT_PTR CALLBACK WN_fsphonemain(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
QORSF_API INT_PTR CALLBACK WN_getfromphonebk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
QORSF_API INT_PTR CALLBACK WN_displayphone(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
QORSF_API INT_PTR CALLBACK WN_sfgroupmembers(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
QORSF_API INT_PTR CALLBACK WN_fsaddgroup(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
QORSF_API INT_PTR CALLBACK WN_sfprint(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* ---- Sending -------------------------------------------------------------------------------- */

QORSF_API int16_t SF_sendfax(uint32_t hHost, const DocumentEntry* documents, int16_t documentCount,
                             const char* number, SendOptions* options);
QORSF_API int16_t SF_makecopy(uint32_t hHost, char* path /* 80 */, int16_t index, int16_t* copied);
QORSF_API int16_t SF_wndsend(uint32_t hHost, uint16_t flags);
QORSF_API int16_t SF_wnddsend(uint32_t hHost, const char* file, int16_t pages);
QORSF_API int16_t SF_sendfolder(uint32_t hHost, uint32_t unused);
QORSF_API int16_t SF_faxfolder(uint32_t hHost, const char* const* numbers, uint16_t count, SendOptions* options);
QORSF_API INT_PTR CALLBACK WN_fsgetphone(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
QORSF_API int16_t SF_manualsend(uint32_t hHost, char* pageName /* 80 */, int16_t* pageCount, uint16_t noConfirm);
QORSF_API int16_t SF_manualrecv(uint32_t hHost);
QORSF_API INT_PTR CALLBACK WN_fsaskcover(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* ---- Queue and logs ------------------------------------------------------------------------- */

QORSF_API int16_t SF_checkqueue(uint32_t hHost, uint16_t force, uint16_t* total, uint16_t* sent,
                                uint16_t* failed, uint16_t* held);
QORSF_API int16_t SF_wndqueue(uint32_t hHost, HWND* window);
QORSF_API INT_PTR CALLBACK WN_fsqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
QORSF_API INT_PTR CALLBACK WN_fsdispqueuerec(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
QORSF_API int16_t SF_scanrlog(uint32_t hHost, uint16_t* all, uint16_t* fresh, uint16_t* toprint,
                              uint32_t* alllist, uint32_t* newlist, uint32_t* printlist);
QORSF_API int16_t SF_checkfaxlog(uint32_t hHost, uint16_t* newcount, uint16_t* allcount);
QORSF_API int16_t SF_autoprint(uint32_t hHost);
QORSF_API int16_t SF_rloggetfirstfax(uint32_t a, uint32_t b, uint32_t c);
QORSF_API int16_t SF_rloggetnextfax(uint32_t a, uint32_t b, uint32_t c);
QORSF_API int16_t SF_wndfaxlog(uint32_t a, uint32_t b);
QORSF_API int16_t SF_viewafax(uint32_t a, uint32_t b);
QORSF_API int16_t SF_viewnextfax(uint32_t a);

/* ---- Calling card --------------------------------------------------------------------------- */

QORSF_API int16_t SF_setupccard(uint32_t hHost, HWND owner);
QORSF_API INT_PTR CALLBACK WN_sfsetupccard(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
