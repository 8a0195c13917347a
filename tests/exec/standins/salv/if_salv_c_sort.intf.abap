* Stand-in: sort orders and group breaks of a SALV sort; the captured calls name them, not their values.
INTERFACE if_salv_c_sort PUBLIC.
  CONSTANTS sort_up TYPE i VALUE 1.
  CONSTANTS sort_down TYPE i VALUE 2.
  CONSTANTS group_none TYPE i VALUE 0.
  CONSTANTS group_with_underline TYPE i VALUE 1.
  CONSTANTS group_with_newpage TYPE i VALUE 2.
ENDINTERFACE.
