* Stand-in: Errors of the SALV object model.
CLASS cx_salv_error DEFINITION PUBLIC INHERITING FROM cx_static_check CREATE PUBLIC.
ENDCLASS.

CLASS cx_salv_error IMPLEMENTATION.
ENDCLASS.
