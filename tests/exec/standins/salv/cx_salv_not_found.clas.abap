* Stand-in: SALV: no such column or element.
CLASS cx_salv_not_found DEFINITION PUBLIC INHERITING FROM cx_salv_access_error CREATE PUBLIC.
ENDCLASS.

CLASS cx_salv_not_found IMPLEMENTATION.
ENDCLASS.
