* Stand-in: who may save layouts of a SALV table; the captured calls name them, not their values.
INTERFACE if_salv_c_layout PUBLIC.
  CONSTANTS restrict_none TYPE i VALUE 3.
  CONSTANTS restrict_user_dependant TYPE i VALUE 2.
  CONSTANTS restrict_user_independant TYPE i VALUE 1.
ENDINTERFACE.
