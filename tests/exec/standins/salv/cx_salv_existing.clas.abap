* Stand-in: SALV: the element exists already.
CLASS cx_salv_existing DEFINITION PUBLIC INHERITING FROM cx_salv_access_error CREATE PUBLIC.
ENDCLASS.

CLASS cx_salv_existing IMPLEMENTATION.
ENDCLASS.
