* Stand-in: SALV error with a message (factory).
CLASS cx_salv_msg DEFINITION PUBLIC INHERITING FROM cx_salv_error CREATE PUBLIC.
ENDCLASS.

CLASS cx_salv_msg IMPLEMENTATION.
ENDCLASS.
