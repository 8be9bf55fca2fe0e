#pragma once
// Result codes of links, connection and transactions. 1..255 are the meter's own codes.
enum : int {
    RC_OK = 0,
    RC_BAD_ARGUMENT = 1001,      // null buffer, zero length, more than 9 data bytes
    RC_NO_CONNECTION = 1002,     // no connection object
    RC_NOT_OPEN = 1003,          // no link, port or socket not open, opening failed
    RC_BUS_LOCK_FAILED = 1005,   // the bus lock of a named connection could not be taken
    RC_LINK_CREATE_FAILED = 1007,
    RC_SHORT_WRITE = 1010,
    RC_READ_ERROR = 1011,
    RC_BUFFER_TOO_SMALL = 1012,  // the needed size is returned to the caller
    RC_BAD_CHECKSUM = 1013,
    RC_WRONG_ADDRESS = 1014,
    RC_TIMEOUT = 1016,
    RC_WRONG_LENGTH = 1017,
    RC_ABORTED = 1018,
    RC_GET_STATE_FAILED = 1051,
    RC_SET_STATE_FAILED = 1052,
    RC_SET_MASK_FAILED = 1053,
    RC_READBACK_MISMATCH = 1060,   // the meter holds other values than were written
    RC_JOURNAL_FAILED = 1061,      // journal.csv cannot be appended: no write, or its line is lost
};

// Flags of CLink::Purge.
enum : int {
    PURGE_TXABORT = 1,
    PURGE_RXABORT = 2,
    PURGE_TXCLEAR = 4,
    PURGE_RXCLEAR = 8,
};
