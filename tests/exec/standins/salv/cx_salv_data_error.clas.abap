* Stand-in: SALV: the column's data does not allow it.
CLASS cx_salv_data_error DEFINITION PUBLIC INHERITING FROM cx_salv_error CREATE PUBLIC.
ENDCLASS.

CLASS cx_salv_data_error IMPLEMENTATION.
ENDCLASS.
