ENTRY           CCHU       #type complete
TITLE           cytochrome c - human
SEQUENCE
                5        10        15        20
      1 G D V E K G K K I F V M K C S Q C H T V
     21 E K G G
///
ENTRY           CCHO       #type complete
TITLE           cytochrome c - horse
SEQUENCE
      1 G D V E K G K K I F
///
