* Stand-in: SALV error on access to an element.
CLASS cx_salv_access_error DEFINITION PUBLIC INHERITING FROM cx_salv_error CREATE PUBLIC.
ENDCLASS.

CLASS cx_salv_access_error IMPLEMENTATION.
ENDCLASS.
